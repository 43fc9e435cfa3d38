#!/usr/bin/env bash
# make_corpus.sh -- makes the seed corpora of the fuzz targets with quorvane-cli (built in BUILD,
# default build/) and Python's zlib: rod files and zlib files the program writes, and damaged
# variants of them. Crashes that fuzzing finds are added to the folders by hand, named crash-*.
set -euo pipefail
cd "$(dirname "$0")"
cli=${BUILD:-../build}/cli/quorvane-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
rm -rf corpus && mkdir -p corpus/restore_rod corpus/unpack_decisions corpus/zlib_file corpus/round_trip

python3 - "$work" <<'PY'
import random, sys
random.seed(11)
work = sys.argv[1]
def sparse(n, p=0.02):
    return bytes(random.randrange(256) if random.random() < p else 0 for _ in range(n))
open(f"{work}/sparse", "wb").write(sparse(1500))
open(f"{work}/text", "wb").write(b"Rods of bits, low and high, turn in the centrifuge.\n" * 12)
open(f"{work}/noise", "wb").write(bytes(random.randrange(256) for _ in range(300)))
PY

# Rod files: setting byte (bits 0-2 rod size index of 2,3,4,5,8,17,64,128; bit 3 LZ77 off) + file.
# Most without the integrity trailer, so that damaged variants reach the restoration itself.
seed_rod() {  # seed-name input index lz77-flag cli-args...
  local seed=$1 name=$2 index=$3 raw=$4; shift 4
  "$cli" pack -q -f -o "$work/$seed.rod" "$@" "$work/$name" || return 0
  printf "\\x$(printf %02x $((index | raw * 8)))" > "$work/byte"
  cat "$work/byte" "$work/$seed.rod" > "corpus/restore_rod/$seed-$index-$raw"
  python3 - "corpus/restore_rod/$seed-$index-$raw" <<'PY'
import sys
path = sys.argv[1]
data = open(path, "rb").read()
open(path + "-cut", "wb").write(data[: len(data) * 2 // 3])
flipped = bytearray(data); flipped[len(data) // 2] ^= 0x10
open(path + "-flip", "wb").write(bytes(flipped))
header = bytearray(data); header[3] ^= 0x01
open(path + "-header", "wb").write(bytes(header))
PY
}
seed_rod sparse sparse 0 0 --no-check
seed_rod sparse sparse 3 1 -r 5 --no-lz77 --no-check
seed_rod sparse sparse 7 0 -r 128 --single --no-check
seed_rod text text 0 1 --no-lz77 --single --no-check
seed_rod noise noise 1 0 -r 3 --single --no-check
seed_rod sparse-checked sparse 0 0
seed_rod text-checked text 0 1 --no-lz77 --single

# Decision parts: LZ77 byte, 4-byte low-rod count, the part.
python3 - <<'PY'
import zlib, random
random.seed(5)
def seed(name, lz77, count, part):
    open(f"corpus/unpack_decisions/{name}", "wb").write(bytes([lz77]) + count.to_bytes(4, "big") + part)
bits = bytes(random.randrange(256) for _ in range(200))
seed("raw", 0, 1600, bits)
seed("deflated", 1, 1600, zlib.compress(bits, 6))
seed("deflated-short-count", 1, 100, zlib.compress(bits, 6))
seed("zeros-bomb", 1, 800, zlib.compress(bytes(1 << 20), 9))
seed("cut", 1, 1600, zlib.compress(bits, 6)[:50])
seed("dictionary", 1, 8, bytes([0x78, 0xBB, 0, 0, 0, 1, 3, 0]))

# zlib files.
text = b"the rod splits into low and high bits, " * 40
def z(name, data):
    open(f"corpus/zlib_file/{name}", "wb").write(data)
z("text", zlib.compress(text, 9))
z("empty", zlib.compress(b"", 9))
z("trailing", zlib.compress(text, 9) + b"junk")
z("cut", zlib.compress(text, 9)[:30])
z("bad-adler", zlib.compress(text, 9)[:-1] + b"\x00")
z("stored", zlib.compress(bytes(random.randrange(256) for _ in range(500)), 0))

# Round trips: two setting bytes and 82..4096 bytes of input.
def rt(name, settings, data):
    open(f"corpus/round_trip/{name}", "wb").write(bytes(settings) + data)
sparse = bytes(random.randrange(256) if random.random() < 0.02 else 0 for _ in range(1200))
rt("sparse-default", [0, 0], sparse)
rt("sparse-r5-raw-single", [3 | 8, 1], sparse)
rt("text-r128", [7, 2 | 4 * 9], text[:900])
rt("ones", [1, 1], b"\xff" * 200)
rt("noise-r17", [5, 0], bytes(random.randrange(256) for _ in range(400)))
rt("zeros", [0, 0], bytes(500))
PY
echo "corpus made: $(find corpus -type f | wc -l) files"
