#!/usr/bin/python3
"""Draws the heading picture of the Hexlark window.

Writes heading.jpg (272 x 135) and heading@2x.jpg (544 x 270) next to this
script: a black picture with the word "Hexlark" in bright green along its top,
each letter with a two-pixel light-grey edge along its underside.

Run it with the system Python, which has PIL:  /usr/bin/python3 make_heading.py
"""

import heapq
import math
import os
import struct
import sys
from collections import Counter
from io import BytesIO

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

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


# ---------------------------------------------------------------------------
# JPEG writing
#
# A JPEG cannot store black exactly next to sharp green edges: the rounding of
# the cosine coefficients leaves faint noise of one to three levels all over
# every 8 x 8 block that holds part of a letter. In the usual YCbCr coding that
# noise lands in the colour planes and turns black into dark blue or red. So the
# writer below codes the red, green and blue planes directly (marked as such by
# an Adobe APP14 segment, as libjpeg and Qt expect), keeps every coefficient
# (quantisation step 1), and stretches every plane from 0..255 to
# -MARGIN..255+MARGIN before coding. Decoders clamp each plane to 0..255, so
# black decodes as exactly 0 and full green as exactly 255 however the rounding
# falls; only the in-between shades (the grey edge, anti-aliasing) shift by a
# level or two.

MARGIN = 6
BLOCK = 8
# Order in which the 64 coefficients of a block are written.
ZIGZAG = sorted(
    ((row, col) for row in range(BLOCK) for col in range(BLOCK)),
    key=lambda rc: (rc[0] + rc[1], rc[0] if (rc[0] + rc[1]) % 2 else rc[1]),
)
COSINES = [
    [
        (math.sqrt(0.5) if u == 0 else 1.0) * math.cos((2 * x + 1) * u * math.pi / 16) / 2
        for x in range(BLOCK)
    ]
    for u in range(BLOCK)
]


def to_planes(picture, margin):
    """Splits an RGB picture into its three planes, as rows of floats.

    Each plane is stretched so that 0 becomes -margin and 255 becomes 255 + margin.
    """
    width = picture.width
    gain = (255 + 2 * margin) / 255
    planes = []
    for channel in picture.split():
        values = [v * gain - margin for v in channel.getdata()]
        planes.append([values[row * width : (row + 1) * width] for row in range(picture.height)])
    return planes


def block_coefficients(plane, bx, by):
    """Quantised (step 1) DCT of one 8 x 8 block, in zig-zag order.

    Blocks reaching past the picture's edge repeat its last row or column.
    """
    height, width = len(plane), len(plane[0])
    samples = [
        [plane[min(by + y, height - 1)][min(bx + x, width - 1)] - 128 for x in range(BLOCK)]
        for y in range(BLOCK)
    ]
    rows = [[sum(c[x] * line[x] for x in range(BLOCK)) for c in COSINES] for line in samples]
    coeffs = [
        [sum(COSINES[v][y] * rows[y][u] for y in range(BLOCK)) for u in range(BLOCK)]
        for v in range(BLOCK)
    ]
    return [round(coeffs[v][u]) for v, u in ZIGZAG]


def magnitude_bits(value):
    """JPEG size category and the extra bits that encode value."""
    size = abs(value).bit_length()
    bits = value if value >= 0 else value + (1 << size) - 1
    return size, bits


def block_symbols(coefficients, previous_dc):
    """Turns one block into (DC symbols, AC symbols) of (symbol, size, bits)."""
    size, bits = magnitude_bits(coefficients[0] - previous_dc)
    dc = [(size, size, bits)]
    ac = []
    run = 0
    for value in coefficients[1:]:
        if value == 0:
            run += 1
            continue
        while run > 15:
            ac.append((0xF0, 0, 0))
            run -= 16
        size, bits = magnitude_bits(value)
        if size > 10:
            sys.exit("coefficient out of the range of baseline JPEG")
        ac.append(((run << 4) | size, size, bits))
        run = 0
    if run:
        ac.append((0x00, 0, 0))
    return dc, ac


def huffman_table(counts):
    """Code lengths for the used symbols, at most 16 bits, as JPEG needs.

    Follows the procedure of the JPEG standard's annex K.2: a reserved
    symbol keeps any code from being all ones, and over-long codes are
    folded back to 16 bits.
    """
    freq = dict(counts)
    reserved = 256
    freq[reserved] = 1
    heap = [(f, i, [s]) for i, (s, f) in enumerate(sorted(freq.items()))]
    heapq.heapify(heap)
    length = dict.fromkeys(freq, 0)
    tick = len(heap)
    while len(heap) > 1:
        f1, _, s1 = heapq.heappop(heap)
        f2, _, s2 = heapq.heappop(heap)
        for s in s1 + s2:
            length[s] += 1
        heapq.heappush(heap, (f1 + f2, tick, s1 + s2))
        tick += 1
    bits = [0] * 33
    for s in length:
        bits[length[s]] += 1
    for i in range(32, 16, -1):
        while bits[i] > 0:
            j = i - 2
            while bits[j] == 0:
                j -= 1
            bits[i] -= 2
            bits[i - 1] += 1
            bits[j + 1] += 2
            bits[j] -= 1
    i = 16
    while bits[i] == 0:
        i -= 1
    bits[i] -= 1  # drop the reserved symbol's code
    # Symbols from most to least frequent take the code lengths from short to long.
    order = sorted((s for s in freq if s != reserved), key=lambda s: (-freq[s], s))
    symbols = []
    for size in range(1, 17):
        symbols.extend(order[len(symbols) : len(symbols) + bits[size]])
    codes = {}
    code = 0
    k = 0
    for size in range(1, 17):
        for _ in range(bits[size]):
            codes[symbols[k]] = (code, size)
            code += 1
            k += 1
        code <<= 1
    return bits[1:17], symbols, codes


class BitWriter:
    def __init__(self):
        self.out = bytearray()
        self.value = 0
        self.count = 0

    def write(self, value, count):
        self.value = (self.value << count) | (value & ((1 << count) - 1))
        self.count += count
        while self.count >= 8:
            self.count -= 8
            byte = (self.value >> self.count) & 0xFF
            self.out.append(byte)
            if byte == 0xFF:
                self.out.append(0x00)
        self.value &= (1 << self.count) - 1

    def flush(self):
        if self.count:
            self.write((1 << (8 - self.count)) - 1, 8 - self.count)
        return bytes(self.out)


def segment(marker, payload):
    return struct.pack(">BBH", 0xFF, marker, len(payload) + 2) + payload


def encode(picture):
    """A baseline JPEG of the picture: RGB planes, quantisation step 1, own Huffman codes."""
    planes = to_planes(picture, MARGIN)
    width, height = picture.size
    symbols = []  # per block, per component: (component, dc, ac)
    previous = [0, 0, 0]
    for by in range(0, height, BLOCK):
        for bx in range(0, width, BLOCK):
            for comp, plane in enumerate(planes):
                coefficients = block_coefficients(plane, bx, by)
                dc, ac = block_symbols(coefficients, previous[comp])
                previous[comp] = coefficients[0]
                symbols.append((comp, dc, ac))

    # Huffman table 0 codes the green plane, which holds the letters; table 1
    # codes red and blue, which hold only the grey edge.
    counts = [[Counter(), Counter()], [Counter(), Counter()]]  # [dc|ac][table]
    for comp, dc, ac in symbols:
        table = 0 if comp == 1 else 1
        counts[0][table].update(s for s, _, _ in dc)
        counts[1][table].update(s for s, _, _ in ac)
    tables = [[huffman_table(counts[kind][t]) for t in range(2)] for kind in range(2)]

    bits = BitWriter()
    for comp, dc, ac in symbols:
        table = 0 if comp == 1 else 1
        for kind, run in ((0, dc), (1, ac)):
            codes = tables[kind][table][2]
            for symbol, size, extra in run:
                code, length = codes[symbol]
                bits.write(code, length)
                if size:
                    bits.write(extra, size)
    scan = bits.flush()

    out = bytearray(b"\xff\xd8")
    # Adobe segment, version 100, no flags, colour transform 0: the planes are RGB.
    out += segment(0xEE, b"Adobe" + struct.pack(">HHHB", 100, 0, 0, 0))
    out += segment(0xDB, bytes([0]) + bytes([1] * 64))
    out += segment(
        0xC0,
        struct.pack(">BHHB", 8, height, width, 3) + bytes([ord("R"), 0x11, 0, ord("G"), 0x11, 0, ord("B"), 0x11, 0]),
    )
    for kind in range(2):
        for t in range(2):
            counts_by_length, ordered, _ = tables[kind][t]
            out += segment(0xC4, bytes([(kind << 4) | t] + counts_by_length + ordered))
    out += segment(0xDA, bytes([3, ord("R"), 0x11, ord("G"), 0x00, ord("B"), 0x11, 0, 63, 0]))
    out += scan
    out += b"\xff\xd9"
    return bytes(out)


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

    data = encode(picture)
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
