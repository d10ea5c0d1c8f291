#include "form1_window.h"

#include "access_keys.h"
#include "accessibility.h"
#include "form1_design.h"
#include "form1_handlers.h"
#include "heading.h"
#include "resource_ids.h"
#include "wide_text.h"
#include "win32_platform.h"
#include "window_placement.h"

#include <optional>
#include <stdexcept>
#include <vector>

namespace hexlark {
namespace {

constexpr const wchar_t *kWindowClass = L"Hexlark.Form1";
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kWindowExStyle = 0;
// Ids start above IDOK (1) and IDCANCEL (2), which the dialog manager sends
// for Enter and Escape; a control's id is this plus its tab index.
constexpr int kFirstControlId = 100;
// WM_COMMAND's code from an accelerator: an access key (access_keys.h).
constexpr int kAccessKeyCode = 1;
constexpr int kPointsPerInch = 72;
// The labels and buttons use the dialog font, whose metrics the fixed
// layout was made for (Tahoma on current Windows and on Wine).
constexpr design::FontDesign kControlFont{.family = "MS Shell Dlg 2", .points = 8};

HFONT createFont(const design::FontDesign &design, UINT dpi)
{
    // A fixed-pitch face of the modern family: where the named face is
    // missing, the font mapper's stand-in is monospaced too.
    const BYTE pitchAndFamily =
        design.fixedPitch ? FIXED_PITCH | FF_MODERN : DEFAULT_PITCH | FF_DONTCARE;
    const std::wstring face = widen(design.family);
    HFONT font = CreateFontW(-MulDiv(design.points, static_cast<int>(dpi), kPointsPerInch), 0, 0, 0,
                             design.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                             pitchAndFamily, face.c_str());
    if (font == nullptr) {
        throw std::runtime_error("cannot create the window's fonts");
    }
    return font;
}

void require(bool done, const char *what)
{
    if (!done) {
        throw std::runtime_error(what);
    }
}

BOOL CALLBACK addMonitor(HMONITOR monitor, HDC /*dc*/, LPRECT /*bounds*/, LPARAM monitors)
{
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (GetMonitorInfoW(monitor, &info) != FALSE) {
        const RECT &work = info.rcWork;
        reinterpret_cast<std::vector<Monitor> *>(monitors)->push_back(
            {{work.left, work.top, work.right - work.left, work.bottom - work.top},
             (info.dwFlags & MONITORINFOF_PRIMARY) != 0});
    }
    return TRUE;
}

} // namespace

Form1Window::Form1Window(HINSTANCE instance, RandomSource &random, ErrorPath &errors)
    : m_instance(instance), m_errors(errors)
{
    m_background = CreateSolidBrush(static_cast<COLORREF>(design::kForm1.background));
    require(m_background != nullptr, "cannot create the window's background brush");
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(HEXLARK_ICON_GROUP), IMAGE_ICON,
                   GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
    windowClass.hIconSm = static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(HEXLARK_ICON_GROUP), IMAGE_ICON,
                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    windowClass.hbrBackground = m_background;
    windowClass.lpszClassName = kWindowClass;
    require(RegisterClassExW(&windowClass) != 0, "cannot register the window class");

    const std::wstring title = widen(design::kForm1.title);
    m_window =
        CreateWindowExW(kWindowExStyle, kWindowClass, title.c_str(), kWindowStyle, CW_USEDEFAULT,
                        CW_USEDEFAULT, 0, 0, nullptr, nullptr, instance, this);
    require(m_window != nullptr, "cannot create the window");
    m_annotations = std::make_unique<Annotations>();
    createControls();
    applyDpi(GetDpiForWindow(m_window), nullptr);

    // The platform's parts made of this window and its controls.
    m_textBox = std::make_unique<Win32TextBox>(m_text1);
    m_reader = std::make_unique<Win32ScreenReader>(m_text1);
    m_clipboard = std::make_unique<Win32Clipboard>(m_window);
    m_pause = std::make_unique<Win32Pause>();
    m_messages = std::make_unique<Win32MessageBox>(m_window);
    m_handlers = std::make_unique<Form1Handlers>(
        Platform{random, *m_clipboard, *m_pause, *m_messages, errors}, *m_textBox, *m_reader);
    m_handlers->load();
}

Form1Window::~Form1Window()
{
    if (m_window != nullptr) {
        DestroyWindow(m_window);
    }
    for (const Control &control : m_controls) {
        DeleteObject(control.ownFont);
    }
    DeleteObject(m_controlFont);
    DeleteObject(m_background);
}

int Form1Window::run(int showCommand)
{
    ShowWindow(m_window, showCommand);
    SetFocus(m_firstFocus);
    UpdateWindow(m_window);

    HACCEL accessKeys = createAccessKeys();
    require(accessKeys != nullptr, "cannot create the access keys");
    MSG message{};
    BOOL result = FALSE;
    while ((result = GetMessageW(&message, nullptr, 0, 0)) != 0) {
        if (result == -1) {
            m_errors.fail("cannot read the window's messages");
        }
        // The access keys by the key pressed, then the dialog manager: Tab and
        // Enter on a focused button, as in a dialog box.
        if (m_window == nullptr || (TranslateAcceleratorW(m_window, accessKeys, &message) == 0 &&
                                    !IsDialogMessageW(m_window, &message))) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    DestroyAcceleratorTable(accessKeys);
    return static_cast<int>(message.wParam);
}

void Form1Window::createControls()
{
    // Creation order is the tab order and the z-order.
    std::size_t next = 0;
    for (const design::ControlDesign *design : design::controlsInTabOrder()) {
        m_controls[next++] = {.design = design, .id = kFirstControlId + design->tabIndex};
    }
    for (Control &control : m_controls) {
        const design::ControlDesign &design = *control.design;
        const wchar_t *windowClass = L"STATIC";
        DWORD style = WS_CHILD | WS_VISIBLE;
        DWORD exStyle = 0;
        switch (design.kind) {
        case design::ControlKind::Label:
            style |= SS_CENTER | SS_NOPREFIX;
            break;
        case design::ControlKind::TextBox:
            require(createNameLabel(m_window, m_instance, design.accessibleName) != nullptr,
                    "cannot create the window's controls");
            // Editable at first; the load handler locks it.
            windowClass = L"EDIT";
            style |= WS_TABSTOP | ES_CENTER | ES_AUTOHSCROLL;
            exStyle = WS_EX_CLIENTEDGE;
            break;
        case design::ControlKind::PushButton:
            windowClass = L"BUTTON";
            style |= WS_TABSTOP | BS_PUSHBUTTON;
            break;
        }
        const std::wstring caption = widen(design.caption);
        control.window = CreateWindowExW(
            exStyle, windowClass, caption.c_str(), style, 0, 0, 0, 0, m_window,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)), m_instance, nullptr);
        require(control.window != nullptr, "cannot create the window's controls");
        m_annotations->annotate(control.window, design);
        if (design.kind == design::ControlKind::TextBox) {
            m_text1 = control.window;
        }
        if (m_firstFocus == nullptr && (style & WS_TABSTOP) != 0) {
            m_firstFocus = control.window;
        }
    }
    require(m_text1 != nullptr, "the design has no text box");
}

// Each key sends WM_COMMAND with its button's id and code 1.
HACCEL Form1Window::createAccessKeys() const
{
    std::vector<ACCEL> keys;
    for (const Control &control : m_controls) {
        const std::optional<WORD> key = accessKey(control.design->caption);
        if (control.design->kind == design::ControlKind::PushButton && key) {
            keys.push_back(ACCEL{FALT | FVIRTKEY, *key, static_cast<WORD>(control.id)});
        }
    }
    return CreateAcceleratorTableW(keys.data(), static_cast<int>(keys.size()));
}

int Form1Window::scaled(int twips) const
{
    return design::toPixels(twips, static_cast<int>(m_dpi));
}

void Form1Window::applyDpi(UINT dpi, const RECT *suggested)
{
    m_dpi = dpi != 0 ? dpi : design::kDesignDpi;
    applyFonts();
    placeControls();
    loadHeading();
    placeWindow(suggested);
    InvalidateRect(m_window, nullptr, TRUE);
}

// A control with a font of its own in the design gets that font; the others
// share the dialog font.
void Form1Window::applyFonts()
{
    HFONT controlFont = createFont(kControlFont, m_dpi);
    for (Control &control : m_controls) {
        HFONT ownFont = control.design->font ? createFont(*control.design->font, m_dpi) : nullptr;
        SendMessageW(control.window, WM_SETFONT,
                     reinterpret_cast<WPARAM>(ownFont != nullptr ? ownFont : controlFont), TRUE);
        DeleteObject(control.ownFont);
        control.ownFont = ownFont;
    }
    DeleteObject(m_controlFont);
    m_controlFont = controlFont;
}

void Form1Window::placeControls()
{
    for (const Control &control : m_controls) {
        const design::Rect &box = control.design->twips;
        SetWindowPos(control.window, nullptr, scaled(box.left), scaled(box.top), scaled(box.width),
                     scaled(box.height), SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

// Above 96 dpi the double-size drawing, which covers the same area; each is
// decoded when first shown.
void Form1Window::loadHeading()
{
    const bool doubleSize = m_dpi > design::kDesignDpi;
    std::unique_ptr<Heading> &heading = m_headings.at(doubleSize ? 1 : 0);
    if (!heading) {
        heading = std::make_unique<Heading>(m_instance,
                                            doubleSize ? HEXLARK_HEADING_2X : HEXLARK_HEADING);
    }
    m_heading = heading.get();
}

// Where Windows suggests after a change of dpi; at first, as framePosition()
// has it on the monitors' work areas.
void Form1Window::placeWindow(const RECT *suggested)
{
    RECT frame{0, 0, scaled(design::kForm1.clientWidth), scaled(design::kForm1.clientHeight)};
    require(AdjustWindowRectExForDpi(&frame, kWindowStyle, FALSE, kWindowExStyle, m_dpi) != FALSE,
            "cannot size the window");
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    int left = 0;
    int top = 0;
    if (suggested != nullptr) {
        left = suggested->left;
        top = suggested->top;
    } else {
        std::vector<Monitor> monitors;
        require(EnumDisplayMonitors(nullptr, nullptr, addMonitor,
                                    reinterpret_cast<LPARAM>(&monitors)) != FALSE &&
                    !monitors.empty(),
                "cannot find the screens");
        const ScreenPoint at = framePosition(monitors, width, height);
        left = at.left;
        top = at.top;
    }
    SetWindowPos(m_window, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form1Window::paint()
{
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(m_window, &paint);
    if (dc == nullptr) {
        return;
    }
    m_heading->draw(dc, scaled(design::kForm1.pictureWidth), scaled(design::kForm1.pictureHeight));
    EndPaint(m_window, &paint);
}

// The platform's standard colours, but for a text colour the design gives; a
// label's text is drawn straight onto what lies behind it.
LRESULT Form1Window::colours(const design::ControlDesign &design, HDC dc, LRESULT standard) const
{
    if (design.textColour) {
        SetTextColor(dc, static_cast<COLORREF>(*design.textColour));
    }
    if (design.kind == design::ControlKind::Label) {
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<LRESULT>(GetStockObject(HOLLOW_BRUSH));
    }
    return standard;
}

const Form1Window::Control *Form1Window::controlByWindow(HWND window) const
{
    for (const Control &control : m_controls) {
        if (control.window == window) {
            return &control;
        }
    }
    return nullptr;
}

const Form1Window::Control *Form1Window::controlById(int id) const
{
    for (const Control &control : m_controls) {
        if (control.id == id) {
            return &control;
        }
    }
    return nullptr;
}

void Form1Window::command(int id, int code)
{
    if (id == IDOK) {
        // Enter: it clicks the focused button and does nothing elsewhere.
        HWND focus = GetFocus();
        for (const Control &control : m_controls) {
            if (control.window == focus &&
                control.design->kind == design::ControlKind::PushButton) {
                SendMessageW(focus, BM_CLICK, 0, 0);
            }
        }
        return;
    }
    const Control *control = controlById(id);
    if (control != nullptr && code == kAccessKeyCode) {
        // As the dialog manager clicks for a typed access key: with the focus.
        SendMessageW(control->window, BM_CLICK, 0, 0);
        return;
    }
    if (control == nullptr || code != BN_CLICKED ||
        control->design->kind != design::ControlKind::PushButton) {
        return; // Escape (IDCANCEL) among them: there is no cancel button
    }
    m_handlers->click(control->design->name);
}

LRESULT CALLBACK Form1Window::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto *self =
            static_cast<Form1Window *>(reinterpret_cast<CREATESTRUCTW *>(lParam)->lpCreateParams);
        self->m_window = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto *self = reinterpret_cast<Form1Window *>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr || self->m_window != window) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    // No exception may cross Windows' own frames.
    try {
        return self->handle(message, wParam, lParam);
    } catch (const std::exception &error) {
        self->m_errors.fail(error.what());
    }
    return 0;
}

LRESULT Form1Window::handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        paint();
        return 0;
    case WM_CTLCOLORSTATIC:
        // Labels, and the read-only address box too.
        if (const Control *control = controlByWindow(reinterpret_cast<HWND>(lParam))) {
            return colours(*control->design, reinterpret_cast<HDC>(wParam),
                           DefWindowProcW(m_window, message, wParam, lParam));
        }
        break;
    case WM_COMMAND:
        command(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_ACTIVATE:
        // A plain window does not keep its focused control as a dialog does.
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus != nullptr && IsChild(m_window, focus)) {
                m_lastFocus = focus;
            }
        } else if (m_lastFocus != nullptr) {
            SetFocus(m_lastFocus);
            return 0;
        }
        break;
    case WM_DPICHANGED:
        applyDpi(HIWORD(wParam), reinterpret_cast<const RECT *>(lParam));
        return 0;
    case WM_DESTROY:
        m_annotations->clear();
        PostQuitMessage(0);
        m_window = nullptr;
        return 0;
    default:
        break;
    }
    return DefWindowProcW(m_window, message, wParam, lParam);
}

} // namespace hexlark
