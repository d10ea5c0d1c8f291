#include "form1_design.h"

#include <array>
#include <cstddef>
#include <cstdio>

// Writes the window's design in pixels at 96 dpi as JSON, for the black-box
// tests to click and crop by: the client area, the heading picture and each
// control's kind and box (left, top, width, height) by its accessible name.
using namespace hexlark::design;

// By ControlKind.
constexpr std::array kKinds{"label", "text box", "button"};

int main(int argc, char **argv)
{
    std::FILE *out = argc == 2 ? std::fopen(argv[1], "w") : nullptr;
    if (out == nullptr) {
        std::fputs("design_pixels: give one file to write\n", stderr);
        return 1;
    }
    std::fprintf(out, "{\"client\": [%d, %d], \"picture\": [%d, %d], \"controls\": {",
                 toPixels(kForm1.clientWidth), toPixels(kForm1.clientHeight),
                 toPixels(kForm1.pictureWidth), toPixels(kForm1.pictureHeight));
    const char *separator = "";
    for (const ControlDesign &control : kControls) {
        const Rect &box = control.twips;
        std::fprintf(out, "%s\"%.*s\": {\"kind\": \"%s\", \"box\": [%d, %d, %d, %d]}", separator,
                     static_cast<int>(control.accessibleName.size()), control.accessibleName.data(),
                     kKinds.at(static_cast<std::size_t>(control.kind)), toPixels(box.left),
                     toPixels(box.top), toPixels(box.width), toPixels(box.height));
        separator = ", ";
    }
    std::fputs("}}\n", out);
    return std::fclose(out) == 0 ? 0 : 1;
}
