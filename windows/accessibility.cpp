#include "accessibility.h"

#include "form1_design.h"
#include "wide_text.h"

// oleacc's GUIDs are defined here, in the one file that uses them.
#include <initguid.h>

#include <oleacc.h>

#include <array>

namespace hexlark {
namespace {

// UI Automation's LiveSetting property and its value Polite: a change is
// spoken once the reader has finished what it is saying.
DEFINE_GUID(kLiveSettingProperty, 0xc12bcd8e, 0x2a8e, 0x4950, 0x8a, 0xe7, 0x36, 0x25, 0x11, 0x1d,
            0x58, 0xeb);
constexpr LONG kLivePolite = 1;

} // namespace

HWND createNameLabel(HWND parent, HINSTANCE instance, std::string_view name)
{
    return CreateWindowExW(0, L"STATIC", widen(name).c_str(), WS_CHILD | SS_NOPREFIX, 0, 0, 0, 0,
                           parent, nullptr, instance, nullptr);
}

Annotations::Annotations()
{
    if (FAILED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IAccPropServices, reinterpret_cast<void **>(&m_services)))) {
        m_services = nullptr;
    }
}

Annotations::~Annotations()
{
    clear();
    if (m_services != nullptr) {
        m_services->Release();
    }
}

void Annotations::annotate(HWND control, const design::ControlDesign &design)
{
    if (m_services == nullptr) {
        return;
    }
    // Each refusal leaves that one property out, and nothing else.
    m_services->SetHwndPropStr(control, OBJID_CLIENT, CHILDID_SELF, PROPID_ACC_NAME,
                               widen(design.accessibleName).c_str());
    m_services->SetHwndPropStr(control, OBJID_CLIENT, CHILDID_SELF, PROPID_ACC_DESCRIPTION,
                               widen(design.accessibleDescription).c_str());
    if (design.kind == design::ControlKind::TextBox) {
        VARIANT polite{};
        polite.vt = VT_I4;
        polite.lVal = kLivePolite;
        m_services->SetHwndProp(control, OBJID_CLIENT, CHILDID_SELF, kLiveSettingProperty, polite);
    }
    m_annotated.push_back(control);
}

void Annotations::clear()
{
    const std::array<MSAAPROPID, 3> properties{PROPID_ACC_NAME, PROPID_ACC_DESCRIPTION,
                                               kLiveSettingProperty};
    for (HWND control : m_annotated) {
        m_services->ClearHwndProps(control, OBJID_CLIENT, CHILDID_SELF, properties.data(),
                                   static_cast<int>(properties.size()));
    }
    m_annotated.clear();
}

void Win32ScreenReader::tellNewAddress(const std::string & /*address*/)
{
    // The event names the box; a reader reads the new address from it.
    NotifyWinEvent(EVENT_OBJECT_LIVEREGIONCHANGED, m_box, OBJID_CLIENT, CHILDID_SELF);
}

} // namespace hexlark
