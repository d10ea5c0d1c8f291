#pragma once

#include "form1_design.h"
#include "win32.h"

#include <array>
#include <memory>

namespace hexlark {

class Annotations;
class ErrorPath;
class Form1Handlers;
class Heading;
class RandomSource;
class Win32Clipboard;
class Win32MessageBox;
class Win32Pause;
class Win32ScreenReader;
class Win32TextBox;

// Form1 on Win32: the window and its controls built from the shared design
// table, scaled to the window's dpi, with every click handed to the shared
// handlers.
class Form1Window
{
public:
    // Creates the window and its controls (hidden) and runs the load
    // handler. Throws std::runtime_error when Windows refuses a part of it.
    Form1Window(HINSTANCE instance, RandomSource &random, ErrorPath &errors);
    ~Form1Window();
    Form1Window(const Form1Window &) = delete;
    Form1Window &operator=(const Form1Window &) = delete;

    // Shows the window centred on its screen with the focus on the first
    // control in tab order that takes it, then runs the message loop until
    // the window is closed; returns the exit status.
    int run(int showCommand);

private:
    struct Control
    {
        const design::ControlDesign *design = nullptr;
        int id = 0; // its WM_COMMAND id
        HWND window = nullptr;
        HFONT ownFont = nullptr; // the design's font for this control, if it has one
    };

    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void createControls();
    HACCEL createAccessKeys() const;
    void applyDpi(UINT dpi, const RECT *suggested);
    void applyFonts();
    void placeControls();
    void loadHeading();
    void placeWindow(const RECT *suggested);
    void paint();
    void command(int id, int code);
    LRESULT colours(const design::ControlDesign &design, HDC dc, LRESULT standard) const;
    int scaled(int twips) const;
    const Control *controlById(int id) const;
    const Control *controlByWindow(HWND window) const;

    HINSTANCE m_instance = nullptr;
    ErrorPath &m_errors;
    HWND m_window = nullptr;
    HWND m_text1 = nullptr;
    HWND m_firstFocus = nullptr;
    HWND m_lastFocus = nullptr;
    HBRUSH m_background = nullptr;
    HFONT m_controlFont = nullptr;
    UINT m_dpi = 0;
    std::array<Control, design::kControls.size()> m_controls{};
    std::array<std::unique_ptr<Heading>, 2> m_headings; // at 96 dpi and the double-size one
    const Heading *m_heading = nullptr;                 // the one the window's dpi shows
    std::unique_ptr<Annotations> m_annotations;
    std::unique_ptr<Win32TextBox> m_textBox;
    std::unique_ptr<Win32Clipboard> m_clipboard;
    std::unique_ptr<Win32Pause> m_pause;
    std::unique_ptr<Win32MessageBox> m_messages;
    std::unique_ptr<Win32ScreenReader> m_reader;
    std::unique_ptr<Form1Handlers> m_handlers;
};

} // namespace hexlark
