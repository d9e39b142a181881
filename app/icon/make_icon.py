#!/usr/bin/env python3
"""Draw the Tolvexa application icon and write tolvexa.ico next to this script.

The picture is a dark phone body with a light screen showing a battery whose
level is green.  Every image is rendered from the same shape list below, so
all sizes match; coordinates are in sixteenths of the icon edge, which keeps
straight edges on whole pixels at 16, 32, 48 and 128 pixels.
Only the Python 3 standard library is used.
"""
import os
import struct

# (x0, y0, x1, y1, corner radius, RGB), painted back to front, y grows downwards.
SHAPES = [
    (3, 1, 13, 15, 2.0, (38, 42, 50)),       # phone body
    (4, 2, 12, 14, 0.5, (214, 228, 240)),    # screen
    (7, 4, 9, 5.5, 0.3, (70, 76, 88)),       # battery terminal
    (6, 5, 10, 12, 0.5, (70, 76, 88)),       # battery frame
    (7, 6, 9, 11, 0.0, (250, 252, 255)),     # empty part of the battery
    (7, 7, 9, 11, 0.0, (52, 196, 64)),       # green charge level
]

# The standard 16-colour Windows palette, in its usual index order.
VGA16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128),
         (128, 0, 128), (0, 128, 128), (192, 192, 192), (128, 128, 128),
         (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255), (255, 0, 255),
         (0, 255, 255), (255, 255, 255)]
# 256 colours: the 16 standard ones, a 6x6x6 colour cube and 24 greys.
LEVELS = (0, 51, 102, 153, 204, 255)
PAL256 = (VGA16 + [(r, g, b) for r in LEVELS for g in LEVELS for b in LEVELS]
          + [(8 + 10 * i,) * 3 for i in range(24)])

SUPERSAMPLE = 4  # samples per pixel along each axis


def inside(shape, x, y):
    x0, y0, x1, y1, r = shape[:5]
    if not (x0 <= x <= x1 and y0 <= y <= y1):
        return False
    dx = max(x0 + r - x, 0.0, x - (x1 - r))
    dy = max(y0 + r - y, 0.0, y - (y1 - r))
    return dx * dx + dy * dy <= r * r


def render(size):
    """Return rows (top first) of straight-alpha (r, g, b, a) pixels."""
    n = SUPERSAMPLE
    scale = 16.0 / size
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0, 0, 0]
            hits = 0
            for sy in range(n):
                for sx in range(n):
                    x = (px + (sx + 0.5) / n) * scale
                    y = (py + (sy + 0.5) / n) * scale
                    colour = None
                    for shape in SHAPES:
                        if inside(shape, x, y):
                            colour = shape[5]
                    if colour:
                        hits += 1
                        for i in range(3):
                            acc[i] += colour[i]
            if hits:
                row.append(tuple(round(c / hits) for c in acc)
                           + (round(255 * hits / (n * n)),))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def nearest(palette, rgb, cache):
    if rgb not in cache:
        cache[rgb] = min(range(len(palette)), key=lambda i: sum(
            (a - b) ** 2 for a, b in zip(palette[i], rgb)))
    return cache[rgb]


def pad4(data):
    return data + b"\0" * (-len(data) % 4)


def bmp_image(rows, bpp):
    """Encode one icon image: BITMAPINFOHEADER, palette, XOR bitmap, AND mask."""
    size = len(rows)
    palette = {4: VGA16, 8: PAL256}.get(bpp, [])
    cache = {}
    xor, mask = b"", b""
    for row in reversed(rows):  # DIB rows are stored bottom-up
        if bpp == 32:
            # Fully transparent pixels are masked; their colour stays zero.
            line = b"".join(bytes((b, g, r, a)) for r, g, b, a in row)
            clear = [a == 0 for *_, a in row]
        else:
            # Palette images have no alpha: a pixel is shown if half covered.
            clear = [a < 128 for *_, a in row]
            idx = [0 if c else nearest(palette, p[:3], cache)
                   for p, c in zip(row, clear)]
            if bpp == 4:
                idx += [0] * (size % 2)
                line = bytes(idx[i] << 4 | idx[i + 1]
                             for i in range(0, len(idx), 2))
            else:
                line = bytes(idx)
        bits = "".join("1" if c else "0" for c in clear)
        bits += "0" * (-len(bits) % 8)
        xor += pad4(line)
        mask += pad4(bytes(int(bits[i:i + 8], 2) for i in range(0, len(bits), 8)))
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bpp, 0,
                         len(xor) + len(mask), 0, 0, len(palette), 0)
    pal = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    return header + pal + xor + mask


def build_ico(images):
    """images: list of (size, bpp, encoded image) -> bytes of an .ico file."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, bpp, data in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256,
                           16 if bpp == 4 else 0, 0, 1, bpp, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, _, data in images)


def main():
    images = []
    for size in (16, 32, 48):
        rows = render(size)
        for bpp in (4, 8, 32):
            images.append((size, bpp, bmp_image(rows, bpp)))
    images.append((128, 32, bmp_image(render(128), 32)))
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "tolvexa.ico")
    with open(path, "wb") as f:
        f.write(build_ico(images))
    print("wrote %s (%d images)" % (path, len(images)))


if __name__ == "__main__":
    main()
