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
    # Auto stop only from the third cycle on: the stream kept comes from a later cycle. No
    # integrity trailer: these files test what the restoration itself refuses.
    subprocess.run([cli, "pack", "-q", "--loops", "3", "--no-check", "-o", packed, sample],
                   check=True)
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


def unpack_silently_wrong(rod, args, original):
    """True when the rod file restores with status 0 to something other than original."""
    with tempfile.TemporaryDirectory() as work:
        path = os.path.join(work, "x.rod")
        open(path, "wb").write(rod)
        run = subprocess.run([cli, "unpack", "-q", *args, path], capture_output=True)
        out = os.path.join(work, "x")
        return run.returncode == 0 and open(out, "rb").read() != original


def flip(data, bit):
    flipped = bytearray(data)
    flipped[bit // 8] ^= 0x80 >> (bit % 8)
    return bytes(flipped)


# Damage that restores to wrong data with status 0 when the file has no integrity trailer; the
# same damage behind a trailer must be refused with "checksum mismatch". The "raw-" files were
# packed with --no-lz77 and are tried with it.
text600 = (b"Rods of bits, low and high, turn in the centrifuge; " * 12)[:600]
with tempfile.TemporaryDirectory() as work:
    source = os.path.join(work, "text")
    open(source, "wb").write(text600)
    packed = {}
    for name, args in [("default", []), ("raw", ["--no-lz77", "--single"])]:
        out = os.path.join(work, name + ".rod")
        subprocess.run([cli, "pack", "-q", *args, "-o", out, source], check=True)
        packed[name] = open(out, "rb").read()
TRAILER = 20


def first_silent_flip(rod, args, bits):
    return next((b for b in bits
                 if unpack_silently_wrong(flip(rod[:-TRAILER], b), args, text600)), None)


# Default settings: only a few header bits (the low ends of the counts) restore silently.
default = packed["default"]
files["header-flip-checked.rod"] = flip(default, first_silent_flip(default, [], range(140)))
# No LZ77, one cycle: a third of all flips restore silently; the first in each part that has one.
raw = packed["raw"]
decisions_at = (140 + get_field(raw, 5) + 7) // 8
for part, bits in [("header", range(0, 140)), ("data", range(140, decisions_at * 8)),
                   ("decisions", range(decisions_at * 8, (len(raw) - TRAILER) * 8))]:
    bit = first_silent_flip(raw, ["--no-lz77"], bits)
    if bit is not None:
        files[f"raw-{part}-flip-checked.rod"] = flip(raw, bit)

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
