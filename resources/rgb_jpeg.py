"""The heading's JPEG writer, because Debian 12's Pillow (9.4) cannot write what the heading needs.

A JPEG cannot store black exactly next to sharp green edges: the rounding of
the cosine coefficients leaves faint noise of one to three levels all over
every 8 x 8 block that holds part of a letter. In the usual YCbCr coding that
noise lands in the colour planes and turns black into dark blue or red. So this
writer codes the red, green and blue planes directly (marked as such by an
Adobe APP14 segment, as libjpeg and Qt expect), keeps every coefficient
(quantisation step 1), and stretches every plane from 0..255 to
-MARGIN..255+MARGIN before coding. Decoders clamp each plane to 0..255, so
black decodes as exactly 0 and full green as exactly 255 however the rounding
falls; only the in-between shades (the grey edge, anti-aliasing) shift by a
level or two. Pillow 9.4 codes every RGB picture as YCbCr (keeping RGB came in
Pillow 10.2) and takes only 8-bit samples, so it can do neither.
"""

import heapq
import math
import struct
import sys
from collections import Counter

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
