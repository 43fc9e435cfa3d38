#!/usr/bin/env bash
# package-check.sh -- builds the Debian packages as a packager would (a release build of the
# programs and the library alone, in build-package): quorvane, libquorvane1 and libquorvane-dev.
# Checks them with lintian, installs them with apt-get, checks the installed programs and files,
# builds a C program against the library with pkg-config and a CMake project with find_package,
# removes the packages and checks that nothing of them is left. Needs root, or sudo.
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

packages=(quorvane libquorvane1 libquorvane-dev python3-quorvane)
for package in "${packages[@]}"; do
  if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q installed; then
    fail "$package is installed already; this check would remove it. Remove it first."
  fi
done

step "building the packages"
# Installed under /usr, so that the library goes to the multiarch folder and quorvane.pc and the
# CMake package name the paths the packages install to.
cmake -S . -B build-package -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DQUORVANE_BUILD_TESTS=OFF -DQUORVANE_BUILD_BENCH=OFF >/dev/null
cmake --build build-package -j"$(nproc)"
rm -f build-package/*.deb
(cd build-package && cpack -G DEB >/dev/null)
debs=()
for package in "${packages[@]}"; do
  debs+=("$(echo build-package/"${package}"_*.deb)")
  [ -f "${debs[-1]}" ] || fail "cpack made no package $package"
done
version=$(dpkg-deb -f "${debs[0]}" Version)
for deb in "${debs[@]}"; do
  echo "$(dpkg-deb -f "$deb" Package): $(dpkg-deb -f "$deb" Depends)"
done
# The window's columns need a monospaced font; the package brings the one it is tested with.
grep -qw 'fonts-dejavu-core' <<<"$(dpkg-deb -f "${debs[0]}" Depends)" ||
  fail "the package does not depend on fonts-dejavu-core"

step "lintian"
# lintian only reads the packages; its warning about running as root says nothing about them.
lintian --fail-on error,warning "${debs[@]}" 2> >(grep -v 'running with root privileges' >&2) ||
  fail "lintian finds errors or warnings"

# Readable by apt's unprivileged download user, so apt-get takes the files without a complaint.
work=$(mktemp -d)
chmod 755 "$work"
cp "${debs[@]}" "$work/"
installed=false
cleanup() {
  if $installed; then
    "${as_root[@]}" apt-get remove --purge -y "${packages[@]}" >/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

step "installing ${packages[*]}"
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
  apt-get install -y --no-install-recommends "${debs[@]/#build-package/$work}" >/dev/null
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
  type=$(xdg-mime query filetype sparse.bin.rod)
  [ "$type" = application/x-quorvane-rod ] || fail "xdg-mime calls a rod file '$type'"
  if [ -x /usr/bin/quorvane ]; then
    handler=$(xdg-mime query default application/x-quorvane-rod)
    [ "$handler" = org.dozazez.quorvane.desktop ] || fail "rod files open with '$handler'"
  fi
)
QT_QPA_PLATFORM=offscreen quorvane --screenshot "$work/pictures" 2>/dev/null
[ -s "$work/pictures/main-window.png" ] || fail "the installed desktop program drew no window"

step "validating the desktop entry, the metainfo, the manual pages and the completions"
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
# zsh and fish find the completions by themselves, in the folders Debian's packages search.
zsh -fc 'autoload -Uz compinit && compinit -u -D && [[ $_comps[quorvane-cli] == _quorvane-cli ]]' ||
  fail "zsh does not find the completion"
[ -n "$(fish -c 'complete -C "quorvane-cli pack --no-"')" ] ||
  fail "fish does not find the completion"

step "building against the installed library"
mkdir "$work/consumer"
cp capi/capi_example.c "$work/consumer/"
(
  cd "$work/consumer"
  # shellcheck disable=SC2046 # the flags are words of their own
  cc -std=c99 -Wall -Werror capi_example.c $(pkg-config --cflags --libs quorvane) -o with-pkg-config
  said=$(./with-pkg-config)
  [ "${said%% *}" = "$version" ] || fail "the example built with pkg-config says '$said'"
  echo "pkg-config: $said"
  cat >CMakeLists.txt <<'EOF'
cmake_minimum_required(VERSION 3.25)
project(consumer LANGUAGES C)
find_package(Quorvane REQUIRED)
add_executable(with-cmake capi_example.c)
target_link_libraries(with-cmake PRIVATE Quorvane::quorvane)
EOF
  cmake -S . -B build >/dev/null
  cmake --build build >/dev/null
  said=$(build/with-cmake)
  [ "${said%% *}" = "$version" ] || fail "the example built with find_package says '$said'"
  echo "find_package: $said"
)

step "the installed Python module"
# Debian's own Python, from outside the source tree, so that only the installed module is found.
(cd "$work" && /usr/bin/python3 -c '
import quorvane, sys
data = open(sys.argv[1], "rb").read()
rod = quorvane.pack(data)
assert quorvane.unpack(rod) == data and quorvane.__version__ == sys.argv[2]
print("python3: packed %d bytes to %d, restored exactly" % (len(data), len(rod)))
' "$OLDPWD/samples/sparse.bin" "$version") || fail "the installed Python module does not work"

step "removing the packages"
# "/." is the root folder, which a package built by dpkg-deb lists.
mapfile -t paths < <(for package in "${packages[@]}"; do dpkg -L "$package"; done | sort -u |
  grep -vxF /.)
folders=()
for path in "${paths[@]}"; do
  [ -d "$path" ] && folders+=("$path")
done
"${as_root[@]}" apt-get remove --purge -y "${packages[@]}" >/dev/null
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
for package in "${packages[@]}"; do
  ! dpkg-query -W "$package" >/dev/null 2>&1 || fail "dpkg still knows $package"
done
step "package-check: ${#packages[@]} packages, ${#paths[@]} paths installed and removed, all checks passed"
