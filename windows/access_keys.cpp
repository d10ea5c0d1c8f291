#include "access_keys.h"

#include "form1_design.h"

#include <string_view>
#include <vector>

namespace hexlark {
namespace {

constexpr char kMarker = '&';

} // namespace

HACCEL createAccessKeys(int firstControlId)
{
    std::vector<ACCEL> keys;
    for (const design::ControlDesign &control : design::kControls) {
        const std::size_t marker = control.caption.find(kMarker);
        if (control.kind != design::ControlKind::PushButton || marker == std::string_view::npos ||
            marker + 1 == control.caption.size()) {
            continue;
        }
        // A letter key's virtual-key code is its capital, as every caption marks it.
        keys.push_back(ACCEL{FALT | FVIRTKEY, static_cast<WORD>(control.caption[marker + 1]),
                             static_cast<WORD>(firstControlId + control.tabIndex)});
    }
    return CreateAcceleratorTableW(keys.data(), static_cast<int>(keys.size()));
}

} // namespace hexlark
