#pragma once

#include "version.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

// The design of the main window: every position and size in twips
// (1/1440 inch), as the window was laid out. Pixels are derived from these
// figures, never written down a second time.
namespace hexlark::design {

inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kDesignDpi = 96;

// Pixels at the screen's resolution: one twip is 1/1440 inch whatever the
// dots per inch, rounded to the nearest pixel; at 96 dpi, 15 twips a pixel.
constexpr int toPixels(int twips, int dpi = kDesignDpi)
{
    return (twips * dpi + kTwipsPerInch / 2) / kTwipsPerInch;
}

// Colours as 0x00BBGGRR: blue, green and red bytes, top byte zero.
using ColourValue = std::uint32_t;
inline constexpr ColourValue kBlack = 0x00000000;
inline constexpr ColourValue kGreen = 0x0000FF00;

// Every control's text stands centred in it; a label's is drawn straight onto
// what lies behind it, with no background of its own.
enum class ControlKind { Label, TextBox, PushButton };

struct Rect
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

struct FontDesign
{
    std::string_view family{};
    int points = 0;
    bool bold = false;
    // Every character as wide as the next; a stand-in for a missing face
    // must be so too.
    bool fixedPitch = false;
};

struct ControlDesign
{
    std::string_view name{};
    ControlKind kind = ControlKind::Label;
    std::string_view caption{};
    Rect twips{};
    std::optional<FontDesign> font{};        // none: the platform's default control font
    std::optional<ColourValue> textColour{}; // none: the platform's standard colours
    int tabIndex = 0;
    std::string_view accessibleName{};
    std::string_view accessibleDescription{};
};

struct FormDesign
{
    std::string_view name{};
    std::string_view title{};
    int clientWidth = 0; // twips
    int clientHeight = 0;
    ColourValue background = kBlack;
    // The heading picture, drawn unscaled at the client area's top-left.
    int pictureWidth = 0; // twips
    int pictureHeight = 0;
};

inline constexpr FormDesign kForm1{
    .name = "Form1",
    .title = kProductName,
    .clientWidth = 4095,
    .clientHeight = 2445,
    .background = kBlack,
    .pictureWidth = 4080,
    .pictureHeight = 2025,
};

inline constexpr std::array<ControlDesign, 6> kControls{{
    {.name = "Label2",
     .kind = ControlKind::Label,
     .caption = kOrganisation,
     .twips = {120, 600, 3735, 255},
     .textColour = kGreen,
     .tabIndex = 5,
     .accessibleName = "Vorrel",
     .accessibleDescription = "The maker of Hexlark"},
    {.name = "Label1",
     .kind = ControlKind::Label,
     .caption = kHomepage,
     .twips = {120, 840, 3735, 255},
     .textColour = kGreen,
     .tabIndex = 4,
     .accessibleName = "Web address",
     .accessibleDescription = "The maker's web address"},
    {.name = "Text1",
     .kind = ControlKind::TextBox,
     .caption = "00-00-00-00-00-00",
     .twips = {600, 1230, 2790, 390},
     .font = FontDesign{.family = "Courier New", .points = 12, .bold = true, .fixedPitch = true},
     .tabIndex = 0,
     .accessibleName = "MAC address",
     .accessibleDescription = "The generated MAC address, read-only"},
    {.name = "Command1",
     .kind = ControlKind::PushButton,
     .caption = "&Generate",
     .twips = {240, 1800, 1095, 345},
     .tabIndex = 1,
     .accessibleName = "Generate",
     .accessibleDescription = "Generates a new random MAC address"},
    {.name = "Command3",
     .kind = ControlKind::PushButton,
     .caption = "&Copy",
     .twips = {1320, 1800, 1095, 345},
     .tabIndex = 2,
     .accessibleName = "Copy",
     .accessibleDescription = "Copies the MAC address to the clipboard"},
    {.name = "Command2",
     .kind = ControlKind::PushButton,
     .caption = "&About",
     .twips = {2400, 1800, 1095, 345},
     .tabIndex = 3,
     .accessibleName = "About",
     .accessibleDescription = "Shows who made Hexlark"},
}};

// The controls in tab order: the order both toolkits create them in, and the
// order the focus moves in among those that take it.
constexpr std::array<const ControlDesign *, kControls.size()> controlsInTabOrder()
{
    std::array<const ControlDesign *, kControls.size()> ordered{};
    for (std::size_t i = 0; i < kControls.size(); ++i) {
        ordered[i] = &kControls[i];
    }
    std::ranges::sort(ordered, {}, [](const ControlDesign *design) { return design->tabIndex; });
    return ordered;
}

} // namespace hexlark::design
