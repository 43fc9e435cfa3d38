#!/usr/bin/env bash
# package-check.sh -- builds the Debian package as a packager would (a release build of the
# programs alone, in build-package), installs it with apt-get, checks the installed programs and
# files, removes the package and checks that nothing of it is left. Needs root, or sudo.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build package
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
started=$SECONDS
step() { echo "== $* ($((SECONDS - started)) s)"; }
fail() {
  echo "package-check.sh: $*" >&2
  exit 1
}

if dpkg-query -W -f='${Status}' quorvane 2>/dev/null | grep -q installed; then
  fail "quorvane is installed already; this check would remove it. Remove it first."
fi

step "building the package"
cmake -S . -B build-package -DCMAKE_BUILD_TYPE=Release -DQUORVANE_BUILD_TESTS=OFF \
  -DQUORVANE_BUILD_BENCH=OFF >/dev/null
cmake --build build-package -j"$(nproc)"
rm -f build-package/quorvane_*.deb
(cd build-package && cpack -G DEB >/dev/null)
deb=$(echo build-package/quorvane_*.deb)
version=$(dpkg-deb -f "$deb" Version)
depends=$(dpkg-deb -f "$deb" Depends)
echo "$depends"
# The window's columns need a monospaced font; the package brings the one it is tested with.
grep -qw 'fonts-dejavu-core' <<<"$depends" || fail "the package does not depend on fonts-dejavu-core"

# Readable by apt's unprivileged download user, so apt-get takes the file without a complaint.
work=$(mktemp -d)
chmod 755 "$work"
cp "$deb" "$work/"
installed=false
cleanup() {
  if $installed; then "${as_root[@]}" apt-get remove --purge -y quorvane >/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

step "installing $(basename "$deb")"
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
  apt-get install -y --no-install-recommends "$work/$(basename "$deb")" >/dev/null
installed=true

step "checking the installed programs"
for program in quorvane quorvane-cli; do
  [ "$(command -v "$program")" = "/usr/bin/$program" ] || fail "$program is not on PATH"
done
[ "$(quorvane-cli --version)" = "quorvane-cli $version" ] ||
  fail "quorvane-cli --version says '$(quorvane-cli --version)', the package $version"
appdata=/usr/share/metainfo/org.dozazez.quorvane.metainfo.xml
grep -q "<release version=\"$version\"" "$appdata" || fail "the metainfo names another version"
mkdir "$work/round-trip"
cp samples/sparse.bin "$work/round-trip/"
(
  cd "$work/round-trip"
  quorvane-cli pack sparse.bin
  mv sparse.bin original.bin
  quorvane-cli unpack sparse.bin.rod
  cmp original.bin sparse.bin
  echo "packed $(stat -c %s original.bin) bytes to $(stat -c %s sparse.bin.rod), restored exactly"
)
QT_QPA_PLATFORM=offscreen quorvane --screenshot "$work/pictures" 2>/dev/null
[ -s "$work/pictures/main-window.png" ] || fail "the installed desktop program drew no window"

step "validating the desktop entry, the metainfo, the manual pages and the completion"
desktop-file-validate /usr/share/applications/org.dozazez.quorvane.desktop
appstreamcli validate --no-net "$appdata"
for page in quorvane-cli quorvane; do
  path=$(man -w "$page" 2>/dev/null) || true
  if [ "$path" != "/usr/share/man/man1/$page.1.gz" ]; then
    # Slimmed container images tell dpkg to leave manual pages out.
    grep -rqsE 'path-exclude[= ]+/usr/share/man' /etc/dpkg/dpkg.cfg.d &&
      echo "(/etc/dpkg/dpkg.cfg.d excludes /usr/share/man on this machine)" >&2
    fail "man $page finds '$path'"
  fi
  warnings=$(MANWIDTH=80 man --warnings -l "$path" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man $page warns: $warnings"
done
bash -c 'source /usr/share/bash-completion/completions/quorvane-cli && complete -p quorvane-cli' \
  >/dev/null || fail "the bash completion does not load"

step "removing the package"
mapfile -t paths < <(dpkg -L quorvane)
folders=()
for path in "${paths[@]}"; do
  [ -d "$path" ] && folders+=("$path")
done
"${as_root[@]}" apt-get remove --purge -y quorvane >/dev/null
installed=false
left=()
for path in "${paths[@]}"; do
  [ -e "$path" ] || [ -L "$path" ] || continue
  # A folder another package owns stays, as it should.
  if printf '%s\n' "${folders[@]}" | grep -qxF -- "$path" && dpkg -S "$path" >/dev/null 2>&1; then
    continue
  fi
  left+=("$path")
done
[ ${#left[@]} -eq 0 ] || fail "left behind after removal: ${left[*]}"
! dpkg-query -W quorvane >/dev/null 2>&1 || fail "dpkg still knows the package"
step "package-check: ${#paths[@]} paths installed and removed, all checks passed"
