#!/usr/bin/python3
"""Renders the Hexlark program icon from hexlark.svg.

Writes, next to this script:
  icons/hexlark-<size>.png  RGBA renders at 16, 24, 32, 48, 64 and 128 pixels
  hexlark.ico               24 and 16 pixels at 4 bpp, the same at 8 bpp, and
                            64 pixels at 32 bpp with alpha, in that order
  icons/windows/<id>.dib    the same images for the Windows program's icon
                            resources, numbered from 30001 in that order, and
  icons/windows/group.bin   their icon group (a GRPICONDIR naming them by id)

Needs rsvg-convert (librsvg2-bin) and the system Python, which has PIL:
  /usr/bin/python3 make_icon.py
"""

import io
import os
import struct
import subprocess
import sys

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.join(HERE, "hexlark.svg")
ICON_DIR = os.path.join(HERE, "icons")
ICO_PATH = os.path.join(HERE, "hexlark.ico")
RESOURCE_DIR = os.path.join(ICON_DIR, "windows")
# The Windows program's first icon image resource; Windows' own tools number
# an .ico's images from 1.
FIRST_RESOURCE_ID = 30001

PNG_SIZES = (16, 24, 32, 48, 64, 128)
# (size, bits per pixel) of the images in the .ico, in file order.
ICO_IMAGES = ((24, 4), (16, 4), (24, 8), (16, 8), (64, 32))

# Pixels at least this opaque are drawn in the paletted images; the rest are
# left to the transparency mask.
OPAQUE_FROM = 128

# The 16 colours of the classic VGA palette.
VGA_PALETTE = (
    (0, 0, 0),
    (128, 0, 0),
    (0, 128, 0),
    (128, 128, 0),
    (0, 0, 128),
    (128, 0, 128),
    (0, 128, 128),
    (192, 192, 192),
    (128, 128, 128),
    (255, 0, 0),
    (0, 255, 0),
    (255, 255, 0),
    (0, 0, 255),
    (255, 0, 255),
    (0, 255, 255),
    (255, 255, 255),
)

ICONDIR = struct.Struct("<HHH")  # reserved, type (1 = icon), image count
ICONDIRENTRY = struct.Struct("<BBBBHHII")
GRPICONDIRENTRY = struct.Struct("<BBBBHHIH")  # as a resource: the image's id for its offset
BITMAPINFOHEADER = struct.Struct("<IiiHHIIiiII")


def render(size):
    """The icon drawn at size x size pixels, as an RGBA image."""
    png = subprocess.run(
        ["rsvg-convert", "--width", str(size), "--height", str(size), SOURCE],
        check=True,
        stdout=subprocess.PIPE,
    ).stdout
    image = Image.open(io.BytesIO(png)).convert("RGBA")
    if image.size != (size, size):
        sys.exit(f"rsvg-convert drew {image.size}, wanted {size}x{size}")
    return image


def nearest(palette, colour):
    """Index of the palette entry closest to colour, weighting green as the eye does."""
    red, green, blue = colour
    return min(
        range(len(palette)),
        key=lambda i: 3 * (palette[i][0] - red) ** 2
        + 4 * (palette[i][1] - green) ** 2
        + 2 * (palette[i][2] - blue) ** 2,
    )


def adaptive_palette(image):
    """Up to 256 colours chosen for the image's opaque pixels, and each pixel's index."""
    rgb = Image.new("RGB", image.size, (0, 0, 0))
    rgb.paste(image.convert("RGB"), mask=image.getchannel("A").point(opaque_mask))
    quantised = rgb.quantize(colors=256, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
    flat = quantised.getpalette()[: 256 * 3]
    flat += [0] * (256 * 3 - len(flat))
    palette = [tuple(flat[i : i + 3]) for i in range(0, 256 * 3, 3)]
    return palette, list(quantised.getdata())


def opaque_mask(alpha):
    return 255 if alpha >= OPAQUE_FROM else 0


def row_bytes(width, bits):
    """Bytes in one bitmap row, padded to a multiple of four."""
    return (width * bits + 31) // 32 * 4


def pack_rows(values, width, height, bits):
    """Packs per-pixel values (top row first) into a bottom-up DIB bitmap."""
    stride = row_bytes(width, bits)
    out = bytearray()
    for y in reversed(range(height)):
        row = bytearray(stride)
        for x in range(width):
            value = values[y * width + x]
            bit = x * bits
            row[bit // 8] |= value << (8 - bits - bit % 8)
        out += row
    return bytes(out)


def and_mask(image):
    """1 bpp mask: 1 where the pixel is transparent."""
    alpha = list(image.getchannel("A").getdata())
    bits = [0 if a >= OPAQUE_FROM else 1 for a in alpha]
    return pack_rows(bits, image.width, image.height, 1)


def dib(image, bits):
    """BITMAPINFOHEADER, palette and bitmaps of one icon image."""
    size = image.width
    opaque = [a >= OPAQUE_FROM for a in image.getchannel("A").getdata()]
    if bits == 4:
        palette = list(VGA_PALETTE)
        colours = list(image.convert("RGB").getdata())
        indices = [nearest(palette, c) if o else 0 for c, o in zip(colours, opaque)]
        xor = pack_rows(indices, size, size, 4)
    elif bits == 8:
        palette, indices = adaptive_palette(image)
        indices = [i if o else 0 for i, o in zip(indices, opaque)]
        xor = pack_rows(indices, size, size, 8)
    elif bits == 32:
        palette = []
        xor = bytearray()
        for y in reversed(range(size)):
            for x in range(size):
                red, green, blue, alpha = image.getpixel((x, y))
                xor += bytes((blue, green, red, alpha))
        xor = bytes(xor)
    else:
        raise ValueError(f"unsupported bit count {bits}")
    mask = and_mask(image)
    header = BITMAPINFOHEADER.pack(
        BITMAPINFOHEADER.size,
        size,
        size * 2,  # XOR bitmap and AND mask stacked
        1,
        bits,
        0,  # BI_RGB
        len(xor) + len(mask),
        0,
        0,
        len(palette),
        0,
    )
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    return header + table + xor + mask


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def write_ico(renders):
    blobs = [dib(renders[size], bits) for size, bits in ICO_IMAGES]
    offset = ICONDIR.size + ICONDIRENTRY.size * len(blobs)
    ico = bytearray(ICONDIR.pack(0, 1, len(blobs)))
    group = bytearray(ico)
    os.makedirs(RESOURCE_DIR, exist_ok=True)
    for resource_id, ((size, bits), blob) in enumerate(zip(ICO_IMAGES, blobs), FIRST_RESOURCE_ID):
        entry = (size, size, 16 if bits == 4 else 0, 0, 1, bits, len(blob))
        ico += ICONDIRENTRY.pack(*entry, offset)
        group += GRPICONDIRENTRY.pack(*entry, resource_id)
        offset += len(blob)
        write(os.path.join(RESOURCE_DIR, f"{resource_id}.dib"), blob)
    write(ICO_PATH, ico + b"".join(blobs))
    write(os.path.join(RESOURCE_DIR, "group.bin"), group)


def main():
    renders = {size: render(size) for size in PNG_SIZES}
    os.makedirs(ICON_DIR, exist_ok=True)
    for size, image in renders.items():
        image.save(os.path.join(ICON_DIR, f"hexlark-{size}.png"), optimize=True)
    write_ico(renders)
    print(f"wrote {len(PNG_SIZES)} PNGs and {os.path.relpath(ICO_PATH)}")


if __name__ == "__main__":
    main()
