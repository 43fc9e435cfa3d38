#!/usr/bin/env python3
"""Makes the damaged files of this folder from rod and zlib files the program writes.

Run from the repository with quorvane-cli built: tests/data/bad/make_bad_files.py [build-folder]
"""
import os
import subprocess
import sys
import tempfile
import zlib

here = os.path.dirname(os.path.abspath(__file__))
cli = os.path.join(sys.argv[1] if len(sys.argv) > 1 else "build", "cli", "quorvane-cli")
sample = os.path.join(here, "..", "..", "..", "samples", "sparse.bin")

FIELDS = [15, 16, 3, 27, 28, 27, 24]  # CycleCount, PassDepth, trailing, low, balance, data, size


def field_range(index):
    start = sum(FIELDS[:index])
    return start, start + FIELDS[index]


def set_field(data, index, value):
    bits = "".join(f"{b:08b}" for b in data)
    start, end = field_range(index)
    bits = bits[:start] + format(value, f"0{end - start}b") + bits[end:]
    return bytes(int(bits[i:i + 8], 2) for i in range(0, len(bits), 8))


def get_field(data, index):
    bits = "".join(f"{b:08b}" for b in data[:18])
    start, end = field_range(index)
    return int(bits[start:end], 2)


with tempfile.TemporaryDirectory() as work:
    packed = os.path.join(work, "sparse.rod")
    # Auto stop only from the third cycle on: the stream kept comes from a later cycle.
    subprocess.run([cli, "pack", "-q", "--loops", "3", "-o", packed, sample], check=True)
    rod = open(packed, "rb").read()
    assert get_field(rod, 0) >= 2, "the sample should pack in two cycles or more"

files = {}
files["truncated-in-header.rod"] = rod[:10]
files["truncated-in-data.rod"] = rod[:40]
files["truncated-in-decisions.rod"] = rod[:-5]
flipped = bytearray(rod)
flipped[15] ^= 0x01  # the last bit of the original size
files["flipped-header-bit.rod"] = bytes(flipped)
data_bits = get_field(rod, 5)
decisions_at = (140 + data_bits + 7) // 8
files["decisions-not-zlib.rod"] = rod[:decisions_at] + b"this is no zlib stream" * 3
files["decisions-inflate-huge.rod"] = rod[:decisions_at] + zlib.compress(bytes(8 << 20), 9)
files["cycle-count-skips.rod"] = set_field(rod, 0, get_field(rod, 0) + 1)
files["data-beyond-file.rod"] = set_field(rod, 5, (1 << 27) - 1)
files["ten-bytes.rod"] = bytes([0, 2, 0, 7, 0x40, 0, 0, 0x28, 0, 0])
files["empty.rod"] = b""

text = b"Rods of bits, low and high, turn in the centrifuge.\n" * 20
z = zlib.compress(text, 9)
files["not-zlib.zlib"] = text
files["truncated.zlib"] = z[: len(z) // 2]
files["wrong-checksum.zlib"] = z[:-1] + bytes([z[-1] ^ 0xFF])
files["empty.zlib"] = b""
files["corrupt-header.zlib"] = bytes([0x78, 0x00]) + z[2:]

for name, content in files.items():
    with open(os.path.join(here, name), "wb") as f:
        f.write(content)
print(f"wrote {len(files)} files")
