#!/usr/bin/python3
"""Draws the heading picture of the Hexlark window.

Writes heading.jpg (272 x 135) and heading@2x.jpg (544 x 270) next to this
script: a black picture with the word "Hexlark" in bright green along its top,
each letter with a two-pixel light-grey edge along its underside.

Run it with the system Python, which has PIL:  /usr/bin/python3 make_heading.py
"""

import os
import sys
from io import BytesIO

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

# The JPEG writer beside this script; no __pycache__ is to be left among the artwork.
sys.dont_write_bytecode = True
import rgb_jpeg  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))

FONT_CANDIDATES = (
    "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
    "/usr/share/fonts/truetype/liberation2/LiberationSans-Bold.ttf",
)
WORD = "Hexlark"

# Geometry of the 1x picture, in pixels. Edges are pixel boundaries, so the
# ink of the capitals covers rows CAP_TOP .. BASELINE - 1 inclusive.
WIDTH, HEIGHT = 272, 135
INK_LEFT = 7  # first inked column
INK_RIGHT = 269  # last inked column
CAP_TOP = 7  # first row of capitals and ascenders
XHEIGHT_TOP = 12  # first row of the lower-case letters without ascenders
BASELINE = 33  # first row below the letters
SHADOW_ROWS = 2  # depth of the grey edge under the letters

BLACK = (0, 0, 0)
GREEN = (0, 255, 0)
GREY = (192, 192, 192)

# Letters are drawn SUPERSAMPLE times larger and averaged down, which gives
# exact partial coverage on the edges.
SUPERSAMPLE = 8
# Size at which the font's outlines are rasterised before being fitted.
MASTER_SIZE = 1000
# A pixel counts as lettering when its green channel exceeds INK_THRESHOLD
# and is GREEN_LEAD above both red and blue.
INK_THRESHOLD = 128
GREEN_LEAD = 64
# Distance from the lettering beyond which the background must stay exactly black.
CLEAR_DISTANCE = 4


def find_font():
    for path in FONT_CANDIDATES:
        if os.path.exists(path):
            return ImageFont.truetype(path, MASTER_SIZE)
    sys.exit("no heavy sans-serif font found; install fonts-dejavu-core")


def master_glyphs(font):
    """Rasterises each letter once at MASTER_SIZE.

    Returns the x-height line (in master rows from the top of the em box) and,
    per letter, its ink mask cropped to its bounding box together with the x
    position of that box's left edge along the line of text.
    """
    xheight_line = font.getbbox("x")[1]
    glyphs = []
    pen = 0.0
    for letter in WORD:
        left, top, right, bottom = font.getbbox(letter)
        mask = Image.new("L", (right - left, bottom - top), 0)
        ImageDraw.Draw(mask).text((-left, -top), letter, fill=255, font=font)
        ink = mask.getbbox()
        glyphs.append(
            {
                "mask": mask.crop(ink),
                "x": pen + left + ink[0],
                "top": top + ink[1],
                "tall": top + ink[1] < xheight_line - MASTER_SIZE * 0.05,
            }
        )
        pen += font.getlength(letter)
    return xheight_line, glyphs


def fit_slice(mask, top, bottom, width, height):
    """Resizes rows top..bottom of a master mask to width x height pixels."""
    part = mask.crop((0, top, mask.width, bottom))
    return part.resize((max(1, width), max(1, height)), Image.Resampling.LANCZOS)


def draw_letters(xheight_line, glyphs, scale, right_edge):
    """Returns the supersampled coverage mask of the word.

    Capitals and ascenders are fitted so their tops land on CAP_TOP, the
    x-height on XHEIGHT_TOP and every letter's foot on BASELINE; the whole word
    is stretched sideways so its ink runs from INK_LEFT to right_edge.
    """
    ss = SUPERSAMPLE * scale
    canvas = Image.new("L", (WIDTH * ss, HEIGHT * ss), 0)

    src_left = glyphs[0]["x"]
    src_right = glyphs[-1]["x"] + glyphs[-1]["mask"].width
    stretch = (right_edge - INK_LEFT) * ss / (src_right - src_left)

    cap_top = CAP_TOP * ss
    xh_top = XHEIGHT_TOP * ss
    base = BASELINE * ss
    for glyph in glyphs:
        mask = glyph["mask"]
        x0 = round(INK_LEFT * ss + (glyph["x"] - src_left) * stretch)
        x1 = round(INK_LEFT * ss + (glyph["x"] + mask.width - src_left) * stretch)
        width = x1 - x0
        if glyph["tall"]:
            # Split at the x-height so both parts line up with the short letters.
            split = max(1, min(mask.height - 1, xheight_line - glyph["top"]))
            upper = fit_slice(mask, 0, split, width, xh_top - cap_top)
            lower = fit_slice(mask, split, mask.height, width, base - xh_top)
            parts = ((upper, cap_top), (lower, xh_top))
        else:
            parts = ((fit_slice(mask, 0, mask.height, width, base - xh_top), xh_top),)
        for part, y in parts:
            layer = Image.new("L", canvas.size, 0)
            layer.paste(part, (x0, y))
            canvas = ImageChops.lighter(canvas, layer)
    return canvas


def shadow_of(letters, scale):
    """The letters moved down by SHADOW_ROWS, kept only below the baseline."""
    ss = SUPERSAMPLE * scale
    moved = Image.new("L", letters.size, 0)
    moved.paste(letters, (0, SHADOW_ROWS * ss))
    cut = Image.new("L", letters.size, 0)
    cut.paste(255, (0, BASELINE * ss, letters.width, letters.height))
    return ImageChops.multiply(moved, cut)


def render(xheight_line, glyphs, scale, right_edge):
    size = (WIDTH * scale, HEIGHT * scale)
    letters = draw_letters(xheight_line, glyphs, scale, right_edge)
    shadow = shadow_of(letters, scale)
    # Averaging the supersampled masks gives each pixel its exact coverage.
    letters = letters.reduce(SUPERSAMPLE)
    shadow = shadow.reduce(SUPERSAMPLE)
    picture = Image.new("RGB", size, BLACK)
    picture = Image.composite(Image.new("RGB", size, GREY), picture, shadow)
    picture = Image.composite(Image.new("RGB", size, GREEN), picture, letters)
    return picture


def is_green(pixel):
    """Lettering: a strong green clearly above red and blue (the grey edge is not)."""
    red, green, blue = pixel
    return green > INK_THRESHOLD and green - max(red, blue) > GREEN_LEAD


def ink_box(picture):
    """Bounding box (left, top, right, bottom inclusive) of the green lettering."""
    width = picture.width
    xs, ys = [], []
    for i, pixel in enumerate(picture.getdata()):
        if is_green(pixel):
            xs.append(i % width)
            ys.append(i // width)
    return min(xs), min(ys), max(xs), max(ys)


def decode(data):
    return Image.open(BytesIO(data)).convert("RGB")


def near_lettering(picture, scale):
    """Mask of the pixels within CLEAR_DISTANCE of any non-black pixel."""
    ink = picture.convert("L").point(lambda v: 255 if v > 0 else 0)
    grow = CLEAR_DISTANCE * scale
    return ink.filter(ImageFilter.MaxFilter(2 * grow + 1))


def count_stray(original, decoded, scale):
    near = near_lettering(original, scale)
    stray = 0
    for pixel, close in zip(decoded.getdata(), near.getdata()):
        if close == 0 and pixel != BLACK:
            stray += 1
    return stray


def make(scale, name):
    font = find_font()
    xheight_line, glyphs = master_glyphs(font)
    last_column = (INK_RIGHT + 1) * scale - 1
    # The word's rightmost point is the tip of the k's leg, which covers only
    # part of its column; widen the word one supersampled step at a time (in
    # units of 1x pixels) until that column is solidly green.
    step = 1.0 / (SUPERSAMPLE * scale)
    right_edge = INK_RIGHT + 1.0
    picture = render(xheight_line, glyphs, scale, right_edge)
    while ink_box(picture)[2] < last_column:
        right_edge += step
        picture = render(xheight_line, glyphs, scale, right_edge)

    data = rgb_jpeg.encode(picture)
    decoded = decode(data)
    stray = count_stray(picture, decoded, scale)
    if stray:
        sys.exit(f"{name}: {stray} background pixels are not black")

    box = ink_box(decoded)
    expected = (INK_LEFT * scale, CAP_TOP * scale, last_column, BASELINE * scale - 1)
    if any(abs(a - b) > scale - 1 for a, b in zip(box, expected)):
        sys.exit(f"{name}: lettering box {box}, wanted {expected}")
    with open(os.path.join(HERE, name), "wb") as out:
        out.write(data)
    print(f"{name}: {decoded.size[0]}x{decoded.size[1]}, lettering {box}, {len(data)} bytes")


def main():
    make(1, "heading.jpg")
    make(2, "heading@2x.jpg")


if __name__ == "__main__":
    main()
