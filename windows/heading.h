#pragma once

#include "win32.h"

namespace hexlark {

// A picture from the program's resources, decoded once by Windows' imaging
// component (WIC) into a bitmap for drawing.
class Heading
{
public:
    // Throws std::runtime_error when the resource is missing or cannot be
    // decoded. COM must be initialised on the calling thread.
    Heading(HINSTANCE instance, int resourceId);
    ~Heading();
    Heading(const Heading &) = delete;
    Heading &operator=(const Heading &) = delete;

    // Draws the picture with its top-left corner at the origin, at its own
    // size when width and height are its size, stretched otherwise.
    void draw(HDC dc, int width, int height) const;

private:
    HBITMAP m_bitmap = nullptr;
    int m_width = 0;
    int m_height = 0;
};

} // namespace hexlark
