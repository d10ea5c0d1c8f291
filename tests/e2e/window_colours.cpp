#include "window_colours.h"

#include <QColor>

#include <algorithm>

namespace hexlark::e2e {
namespace {

// Colour limits, per 0..255 channel.
constexpr int kBlackMax = 8;
// Anti-aliased green lettering fades to dark green; below this it is background.
constexpr int kDarkMax = 40;
constexpr int kGreenLead = 24;
constexpr int kBrightGreenMin = 200;
constexpr int kBrightGreenOtherMax = 100;
constexpr int kLightGreyMin = 150;
constexpr int kLightGreyMax = 235;
constexpr int kGreySpread = 30;
// Enough pixels that a stray speck is not mistaken for the heading.
constexpr int kMinHeadingPixels = 50;
// A black run this long in one row can only be the client area's own
// background: the letters, icons and cursors around it are far narrower.
constexpr int kMinClientRun = 136;

bool isGreenOrBlack(QColor c)
{
    return std::max({c.red(), c.green(), c.blue()}) <= kDarkMax ||
           c.green() >= std::max(c.red(), c.blue()) + kGreenLead;
}

bool isBrightGreen(QColor c)
{
    return c.green() >= kBrightGreenMin && c.red() <= kBrightGreenOtherMax &&
           c.blue() <= kBrightGreenOtherMax;
}

bool isLightGrey(QColor c)
{
    const int low = std::min({c.red(), c.green(), c.blue()});
    const int high = std::max({c.red(), c.green(), c.blue()});
    return low >= kLightGreyMin && high <= kLightGreyMax && high - low <= kGreySpread;
}

QString describe(QPoint at, QColor c)
{
    return QStringLiteral("(%1,%2) is rgb(%3,%4,%5)")
        .arg(at.x())
        .arg(at.y())
        .arg(c.red())
        .arg(c.green())
        .arg(c.blue());
}

} // namespace

bool isBlack(QRgb pixel)
{
    return std::max({qRed(pixel), qGreen(pixel), qBlue(pixel)}) <= kBlackMax;
}

QString colourFault(const QImage &clientArea, const ColourCheck &check)
{
    if (!clientArea.rect().contains(check.region)) {
        return QStringLiteral("the picture is %1x%2, too small for the region")
            .arg(clientArea.width())
            .arg(clientArea.height());
    }
    int matching = 0;
    for (int y = check.region.top(); y <= check.region.bottom(); ++y) {
        for (int x = check.region.left(); x <= check.region.right(); ++x) {
            if (check.excluded.contains(x, y)) {
                continue;
            }
            const QColor colour = clientArea.pixelColor(x, y);
            switch (check.rule) {
            case ColourRule::Black:
                if (!isBlack(colour.rgb())) {
                    return describe({x, y}, colour);
                }
                break;
            case ColourRule::GreenOrBlack:
                if (!isGreenOrBlack(colour)) {
                    return describe({x, y}, colour);
                }
                break;
            case ColourRule::HasBrightGreen:
                matching += isBrightGreen(colour) ? 1 : 0;
                break;
            case ColourRule::HasLightGrey:
                matching += isLightGrey(colour) ? 1 : 0;
                break;
            }
        }
    }
    if ((check.rule == ColourRule::HasBrightGreen || check.rule == ColourRule::HasLightGrey) &&
        matching < kMinHeadingPixels) {
        return QStringLiteral("only %1 pixels of that colour").arg(matching);
    }
    return {};
}

QImage toLogicalPixels(const QImage &devicePixels, int ratio)
{
    if (ratio < 1 || devicePixels.isNull()) {
        return {};
    }
    const QImage source = devicePixels.convertToFormat(QImage::Format_RGB32);
    QImage logical(source.width() / ratio, source.height() / ratio, QImage::Format_RGB32);
    const int samples = ratio * ratio;
    for (int y = 0; y < logical.height(); ++y) {
        for (int x = 0; x < logical.width(); ++x) {
            int red = 0;
            int green = 0;
            int blue = 0;
            for (int dy = 0; dy < ratio; ++dy) {
                for (int dx = 0; dx < ratio; ++dx) {
                    const QRgb pixel = source.pixel(x * ratio + dx, y * ratio + dy);
                    red += qRed(pixel);
                    green += qGreen(pixel);
                    blue += qBlue(pixel);
                }
            }
            logical.setPixel(x, y, qRgb(red / samples, green / samples, blue / samples));
        }
    }
    return logical;
}

std::optional<QRect> findClientArea(const QImage &screen)
{
    // The bottom row of the client area is the lowest row with a long black run.
    for (int bottom = screen.height() - 1; bottom >= 0; --bottom) {
        int bestStart = 0;
        int bestLength = 0;
        int runStart = 0;
        for (int x = 0; x <= screen.width(); ++x) {
            if (x < screen.width() && isBlack(screen.pixel(x, bottom))) {
                continue;
            }
            if (x - runStart > bestLength) {
                bestStart = runStart;
                bestLength = x - runStart;
            }
            runStart = x + 1;
        }
        if (bestLength < kMinClientRun) {
            continue;
        }
        // The right column is black all the way up to the top of the client area.
        const int right = bestStart + bestLength - 1;
        int top = bottom;
        while (top > 0 && isBlack(screen.pixel(right, top - 1))) {
            --top;
        }
        return QRect(QPoint(bestStart, top), QPoint(right, bottom));
    }
    return std::nullopt;
}

} // namespace hexlark::e2e
