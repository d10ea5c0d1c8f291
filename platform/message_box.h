#pragma once

#include <string>

namespace hexlark {

class MessageBox
{
public:
    virtual ~MessageBox() = default;
    // Shows an application-modal note with one OK button, the default, and no
    // icon, and returns once it is dismissed, however that happens.
    virtual void show(const std::string &message, const std::string &title) = 0;
};

} // namespace hexlark
