#!/usr/bin/env python3
# make_icons.py -- draws the program's icon at the hicolor sizes from the built-in tablet picture.
#
#   python3 make_icons.py TABLET.pbm OUTPUT_FOLDER SIZE...
#
# writes OUTPUT_FOLDER/SIZExSIZE/apps/org.dozazez.quorvane.png for every size. The icon is a rounded slab with
# the tablet's streaks on it. Small icons show a cut of the tablet rather than all of it shrunk,
# so the streaks stay streaks instead of turning grey. Only the standard library is used, and the
# output is the same on every run (no time stamps), so packages build reproducibly.
import struct
import sys
import zlib
from pathlib import Path

NAME = "org.dozazez.quorvane"
SLAB = (0x1F, 0x4E, 0x5F)  # the slab
EDGE = (0x10, 0x2C, 0x36)  # its rim
GRAIN = (0xF2, 0xEC, 0xDC)  # the tablet's black pixels, drawn light on the slab
SAMPLES = 4  # samples per pixel in each direction, for smooth edges


def read_pbm(path):
    """The bitmap of a binary PBM (P4) file as rows of 0/1, black = 1."""
    data = Path(path).read_bytes()
    fields = []
    pos = 0
    while len(fields) < 3:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    if fields[0] != b"P4":
        sys.exit(f"{path}: not a binary PBM file")
    width, height = int(fields[1]), int(fields[2])
    pos += 1  # the single blank after the height
    stride = (width + 7) // 8
    rows = []
    for y in range(height):
        line = data[pos + y * stride:pos + (y + 1) * stride]
        rows.append([(line[x // 8] >> (7 - x % 8)) & 1 for x in range(width)])
    return rows


def inside_rounded(x, y, left, top, side, radius):
    """Whether the point (x, y) lies in the square at (left, top) with rounded corners."""
    right, bottom = left + side, top + side
    if not (left <= x < right and top <= y < bottom):
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def draw_icon(tablet, size):
    """RGBA rows of the icon at size x size pixels."""
    height, width = len(tablet), len(tablet[0])
    margin = size / 16
    side = size - 2 * margin
    radius = side / 6
    rim = max(1.0, size / 32)
    inner = side - 2 * rim
    # Two tablet pixels to an icon pixel at most; the whole tablet from 95 pixels up.
    cut = min(width, height, 2 * inner)
    scale = cut / inner
    pixels = []
    for py in range(size):
        row = bytearray()
        for px in range(size):
            slab = edge = grain = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = px + (sx + 0.5) / SAMPLES
                    y = py + (sy + 0.5) / SAMPLES
                    if not inside_rounded(x, y, margin, margin, side, radius):
                        continue
                    if not inside_rounded(x, y, margin + rim, margin + rim, inner,
                                          max(radius - rim, 0)):
                        edge += 1
                        continue
                    tx = int((x - margin - rim) * scale)
                    ty = int((y - margin - rim) * scale)
                    if tablet[min(ty, height - 1)][min(tx, width - 1)]:
                        grain += 1
                    else:
                        slab += 1
            covered = slab + edge + grain
            if covered == 0:
                row += bytes(4)
                continue
            colour = [round((SLAB[c] * slab + EDGE[c] * edge + GRAIN[c] * grain) / covered)
                      for c in range(3)]
            row += bytes(colour + [round(255 * covered / SAMPLES ** 2)])
        pixels.append(bytes(row))
    return pixels


def png_chunk(kind, payload):
    body = kind + payload
    return struct.pack(">I", len(payload)) + body + struct.pack(">I", zlib.crc32(body))


def write_png(path, pixels, note):
    size = len(pixels)
    raw = b"".join(b"\x00" + row for row in pixels)
    data = b"\x89PNG\r\n\x1a\n"
    data += png_chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
    data += png_chunk(b"tEXt", b"Comment\x00" + note.encode("latin-1"))
    data += png_chunk(b"IDAT", zlib.compress(raw, 9))
    data += png_chunk(b"IEND", b"")
    path.parent.mkdir(parents=True, exist_ok=True)
    # Written beside the target and renamed, so a stopped build leaves no half icon.
    temporary = path.with_suffix(".png.part")
    temporary.write_bytes(data)
    temporary.replace(path)


def main():
    if len(sys.argv) < 4:
        sys.exit("usage: make_icons.py TABLET.pbm OUTPUT_FOLDER SIZE...")
    tablet = read_pbm(sys.argv[1])
    out = Path(sys.argv[2])
    note = "Made by packaging/make_icons.py from chip/tablet/tablet.pbm; do not edit."
    for size in map(int, sys.argv[3:]):
        write_png(out / f"{size}x{size}" / "apps" / f"{NAME}.png", draw_icon(tablet, size), note)


if __name__ == "__main__":
    main()
