#pragma once

class QString;

namespace hexlark {

class MessageBox
{
public:
    virtual ~MessageBox() = default;
    // Shows an application-modal note with one OK button and no icon and
    // returns once it is dismissed, however that happens.
    virtual void show(const QString &message, const QString &title) = 0;
};

class QtMessageBox final : public MessageBox
{
public:
    void show(const QString &message, const QString &title) override;
};

} // namespace hexlark
