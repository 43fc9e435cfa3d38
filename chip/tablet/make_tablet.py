#!/usr/bin/env python3
# make_tablet.py -- writes tablet.pbm, the built-in 190 x 191 tablet picture, from a fixed seed.
#
# The picture is read row by row as a bit stream (black = "1"): 35704 content bits of
# alternating black and white runs whose lengths vary from band to band of rows, giving
# horizontal streaks and about as much black as white; then 570 black pixels; then the
# content length, 35704, in the last 16 pixels, most significant bit first.
import sys

WIDTH, HEIGHT = 190, 191
PIXELS = WIDTH * HEIGHT  # 36290
CONTENT = 35704
LENGTH_BITS = 16


class Lcg:
    """A small fixed generator, so the picture never depends on a library's random numbers."""

    def __init__(self, seed):
        self.state = seed

    def next(self, bound):
        self.state = (self.state * 1103515245 + 12345) % (1 << 31)
        return (self.state >> 8) % bound


def content_bits():
    rng = Lcg(20240611)
    bits = []
    colour = 0
    while len(bits) < CONTENT:
        row = len(bits) // WIDTH
        # Bands of 6 rows alternate between fine grain and long streaks.
        longest = 4 if (row // 6) % 2 == 0 else 24 + (row % 6) * 6
        run = 1 + rng.next(longest)
        bits.extend([colour] * run)
        colour ^= 1
    return bits[:CONTENT]


def main():
    bits = content_bits()
    bits += [1] * (PIXELS - LENGTH_BITS - CONTENT)
    bits += [(CONTENT >> (LENGTH_BITS - 1 - i)) & 1 for i in range(LENGTH_BITS)]
    assert len(bits) == PIXELS
    raster = bytearray()
    for y in range(HEIGHT):
        row = bits[y * WIDTH:(y + 1) * WIDTH] + [0] * 2  # rows padded to whole bytes
        for i in range(0, len(row), 8):
            byte = 0
            for bit in row[i:i + 8]:
                byte = (byte << 1) | bit
            raster.append(byte)
    out = sys.argv[1] if len(sys.argv) > 1 else "tablet.pbm"
    with open(out, "wb") as f:
        f.write(b"P4\n%d %d\n" % (WIDTH, HEIGHT))
        f.write(raster)
    black = sum(bits[:CONTENT])
    print(f"{out}: {CONTENT} content bits, {black} black, {CONTENT - black} white")


if __name__ == "__main__":
    main()
