#!/usr/bin/env bash
# run.sh -- installs what is needed, builds, and starts the desktop program. Without a display
# it says how to start the program under a virtual one, and shows the command line instead:
# the shipped sample packed, unpacked and compared.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x build/app/quorvane ]; then
  exec build/app/quorvane
fi
echo "No display here. To see the desktop program, run:  xvfb-run -a build/app/quorvane"
echo "(and a VNC or screenshot tool to look at it), or use the command line:"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp samples/sparse.bin "$work/"
set -x
build/cli/quorvane-cli pack -v "$work/sparse.bin"
mv "$work/sparse.bin" "$work/original.bin"
build/cli/quorvane-cli unpack "$work/sparse.bin.rod"
cmp "$work/original.bin" "$work/sparse.bin"
{ set +x; } 2>/dev/null
echo "packed $(stat -c %s "$work/original.bin") bytes to $(stat -c %s "$work/sparse.bin.rod"), restored exactly"
