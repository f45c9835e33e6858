#!/usr/bin/env bash
# The Debian package as a user gets it: CPack builds the .deb from the build folder, lintian
# looks it over as a distribution would, the package is unpacked into a scratch root (no
# root rights, the machine's own packages are left alone), its files, its dependencies, its
# hardening and its desktop metadata are checked there, and the unpacked program is started
# on a virtual display and ended with File > Exit.
#
# Run by ctest as `bash tests/e2e/package_deb.sh <build-folder> <app-id> [unoptimised]`, after
# the build; "unoptimised" says that the build is a Debug one, as the sanitizer build is.
# It is registered next to the install rules and the CPack settings (data/CMakeLists.txt),
# which hand it the build folder, rather than found with the test_*.sh scripts, which only
# get the path of the built program.
set -euo pipefail
tmp=$(mktemp -d "${TMPDIR:-/tmp}/plenwick-package.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
fail() { printf 'FAIL: %s\n' "$*" >&2; exit 1; }
log() { printf 'package: %s\n' "$*" >&2; }
build=${1:?usage: package_deb.sh BUILD-FOLDER APP-ID}
app_id=${2:?usage: package_deb.sh BUILD-FOLDER APP-ID}
build=$(cd "$build" && pwd)
# glibc fortifies only optimised code, so an unoptimised build's package cannot have fortified
# calls; it is held to everything else.
lintian_skip=() hardening_skip=()
if [[ ${3:-} == unoptimised ]]; then
    lintian_skip=(--suppress-tags hardening-no-fortify-functions) hardening_skip=(--nofortify)
fi

for cmd in cpack dpkg-deb dpkg-checkbuilddeps desktop-file-validate appstreamcli file readelf \
    lintian hardening-check; do
    command -v "$cmd" >/dev/null ||
        fail "$cmd is not installed (run 'make deps' or install cmake dpkg-dev desktop-file-utils appstream file binutils lintian devscripts)"
done
[[ -f $build/CPackConfig.cmake ]] || fail "$build is not a configured build folder"

# 1. Build the package into a folder of our own, so nothing lands in the build folder.
out=$tmp/package
mkdir -p "$out"
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$out" >"$tmp/cpack.log" 2>&1 ||
    fail "cpack failed: $(tail -n 20 "$tmp/cpack.log")"
debs=("$out"/*.deb)
deb=${debs[0]}
((${#debs[@]} == 1)) && [[ -f $deb ]] || fail "cpack made no single .deb: ${debs[*]}"

# 2. The control fields.
field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == plenwick ]] || fail "package name is '$(field Package)'"
[[ $(field Architecture) == "$(dpkg --print-architecture)" ]] ||
    fail "architecture '$(field Architecture)' is not this machine's"
depends=$(field Depends)
# Every Qt library the program links, and the platform plugin it cannot show a window
# without, by their Debian package names.
for needed in libqt6core6 libqt6gui6 libqt6widgets6 qt6-qpa-plugins; do
    grep -Eq "(^|[ ,|])$needed( |,|$)" <<<"$depends" || fail "Depends does not name $needed"
done
# Each dependency is a real package that this machine has in a version that satisfies it
# (a misspelt or impossible dependency would make the package uninstallable).
dpkg-checkbuilddeps -d "$depends" /dev/null 2>"$tmp/deps.log" ||
    fail "the dependencies are not met on this machine: $(cat "$tmp/deps.log")"

# Lintian, as strict as it goes: nothing to report at any level (the package's overrides,
# each with its reason, are in data/lintian-overrides).
lintian --pedantic --display-experimental --display-info "${lintian_skip[@]}" \
    --fail-on error,warning,info,pedantic,experimental "$deb" >"$tmp/lintian.log" 2>&1 ||
    fail "lintian: $(cat "$tmp/lintian.log")"

# 3. Unpack into the scratch root; the files are where the desktop looks for them.
root=$tmp/root
dpkg-deb -x "$deb" "$root"
desktop=usr/share/applications/$app_id.desktop
metainfo=usr/share/metainfo/$app_id.metainfo.xml
svg=usr/share/icons/hicolor/scalable/apps/$app_id.svg
png48=usr/share/icons/hicolor/48x48/apps/$app_id.png
for path in usr/bin/plenwick "$desktop" "$metainfo" "$svg" "$png48"; do
    [[ -f $root/$path ]] || fail "the package lacks /$path: $(dpkg-deb -c "$deb" | awk '{print $NF}')"
done
# The changelog's latest entry and the metadata's latest release are this version.
version=$(field Version)
changelog=$(zcat "$root/usr/share/doc/plenwick/changelog.gz" | dpkg-parsechangelog -l - -S Version)
[[ $changelog == "$version" ]] || fail "the changelog's latest entry is $changelog, not $version"
[[ $(grep -m1 '<release ' "$root/$metainfo") == *"version=\"$version\""* ]] ||
    fail "the metadata's latest release is not $version: $(grep -m1 '<release ' "$root/$metainfo")"
# The distribution's hardening. Debian 12's C library start files are built without
# control-flow protection, so no program linked with them carries that mark, whatever its
# own code has; the mark is asked for where the start files have it.
[[ $(readelf -n "$(${CXX:-c++} -print-file-name=Scrt1.o)") == *IBT* ]] ||
    hardening_skip+=(--nocfprotection)
hardening-check "${hardening_skip[@]}" "$root/usr/bin/plenwick" >"$tmp/hardening.log" 2>&1 ||
    fail "hardening-check: $(cat "$tmp/hardening.log")"
# (Outputs are read whole before they are matched: `grep -q` in a pipe may end early and
# fail the writer with SIGPIPE under pipefail.)
[[ $(file -b "$root/$png48") == "PNG image data, 48 x 48,"* ]] || fail "the 48x48 icon is $(file -b "$root/$png48")"
[[ $(file -b "$root/$svg") == SVG* ]] || fail "the scalable icon is $(file -b "$root/$svg")"
# The installed program looks for its libraries in the system's folders only.
dynamic=$(readelf -d "$root/usr/bin/plenwick")
! grep -E '\((RPATH|RUNPATH)\)' <<<"$dynamic" >/dev/null ||
    fail "the installed program keeps a library path: $(grep -E 'RPATH|RUNPATH' <<<"$dynamic")"

# 4. The installed desktop entry and metadata pass Debian's validators; validate-tree also
# checks that the metadata's launchable is the desktop entry installed beside it.
desktop-file-validate "$root/$desktop" || fail "desktop-file-validate rejects /$desktop"
appstreamcli validate --no-net --pedantic "$root/$metainfo" >"$tmp/appstream.log" 2>&1 ||
    fail "appstreamcli validate rejects /$metainfo: $(cat "$tmp/appstream.log")"
appstreamcli validate-tree --no-net --strict "$root" >"$tmp/appstream-tree.log" 2>&1 ||
    fail "appstreamcli validate-tree rejects the installed tree: $(cat "$tmp/appstream-tree.log")"

# The entry's Exec runs the installed program and its Icon names the installed icon.
entry_key() { awk -F= -v key="$1" '/^\[/{group=$0} group=="[Desktop Entry]" && $1==key {sub(/^[^=]*=/, ""); print; exit}' "$root/$desktop"; }
exec_line=$(entry_key Exec)
read -r exec_command _ <<<"$exec_line"
resolved=$(PATH=$root/usr/bin:/usr/bin:/bin command -v "$exec_command") || true
[[ $exec_command != */* && $resolved == "$root/usr/bin/plenwick" ]] ||
    fail "Exec '$exec_line' does not name the installed /usr/bin/plenwick for the search path (found '$resolved')"
[[ $(entry_key Icon) == "$app_id" ]] || fail "Icon is '$(entry_key Icon)', the installed icons are named $app_id"
# The program gives the desktop the same id as its desktop entry's name (Wayland's app id);
# Qt keeps the text in UTF-16, so the id is looked for with a zero byte after each character.
utf16=$(sed 's/\./\\./g; s/\(\\\.\|[^\]\)/&\\x00/g' <<<"$app_id")'\x00\x00'
LC_ALL=C grep -qaP "$utf16" "$root/usr/bin/plenwick" ||
    fail "/usr/bin/plenwick does not name its desktop entry $app_id"

# 5. Start the installed program, as the desktop would through the entry's Exec, on a
# virtual display with a window manager, and end it with File > Exit.
PLENWICK_RUN_FRESH_CONFIG=1 /usr/bin/python3 -B "$(dirname "$0")/../../tools/xsession.py" \
    "$resolved" "$tmp/screen.png" >/dev/null || fail "the installed program did not run cleanly"
log "the .deb installs, validates, starts and ends cleanly"
