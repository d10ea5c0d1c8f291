#pragma once

#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

#include <array>
#include <optional>

namespace hexlark::e2e {

// The client area in pixels at 96 dpi.
inline constexpr QSize kClientSize{273, 163};

enum class ColourRule {
    Black,          // every pixel black
    GreenOrBlack,   // every pixel black, dark or green lettering
    HasBrightGreen, // enough bright green pixels for the heading
    HasLightGrey,   // enough light grey pixels for the heading's underside
};

// One region of the client area (1x pixels) and what it must look like.
struct ColourCheck
{
    const char *name;
    QRect region;
    QRect excluded; // pixels left out of the region, e.g. the buttons
    ColourRule rule;
};

// What a picture of the whole client area at 1x must show: a black right
// column and bottom strip, green labels on black and the heading's bright
// green letters over a light grey underside.
inline constexpr std::array<ColourCheck, 5> kWindowColourChecks{{
    {"right column is black", QRect(272, 0, 1, 163), QRect(), ColourRule::Black},
    {"bottom strip is black", QRect(0, 136, 273, 27), QRect(16, 120, 217, 23), ColourRule::Black},
    {"labels are green on black", QRect(0, 40, 273, 34), QRect(), ColourRule::GreenOrBlack},
    {"heading letters are bright green", QRect(0, 7, 273, 26), QRect(), ColourRule::HasBrightGreen},
    {"heading edge is light grey", QRect(0, 33, 273, 2), QRect(), ColourRule::HasLightGrey},
}};

// Empty when the picture passes the check, otherwise what is wrong where.
QString colourFault(const QImage &clientArea, const ColourCheck &check);

// A picture taken at a whole-number device pixel ratio brought back to
// logical pixels: each ratio x ratio block becomes its average colour.
QImage toLogicalPixels(const QImage &devicePixels, int ratio);

// Where the client area is in a picture of a whole screen: the black
// rectangle whose right column and bottom row are black from end to end.
// The window's frame and the screen around it must not be black.
std::optional<QRect> findClientArea(const QImage &screen);

bool isBlack(QRgb pixel);

} // namespace hexlark::e2e
