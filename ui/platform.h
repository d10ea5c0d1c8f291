#pragma once

namespace hexlark {

class Clipboard;
class ErrorPath;
class MessageBox;
class Pause;
class RandomSource;

// What each edition's entry makes of its platform and hands to its window:
// the operations that come with the desktop rather than with the window's
// own controls.
struct Platform
{
    RandomSource &random;
    Clipboard &clipboard;
    Pause &pause;
    MessageBox &messages;
    ErrorPath &errors;
};

} // namespace hexlark
