#!/usr/bin/env bash
# Checks the console as an installed desktop program: installs it into a temporary prefix,
# validates the menu entry and the AppStream metadata, compares the icons with what the image
# generator draws, builds the Debian package and checks its files and dependencies, and
# starts the installed programs for a moment.
#   scripts/test-install.sh [BUILD_DIR]
# Without BUILD_DIR it builds build-install (no tests, no benchmarks) first; scripts/test.sh
# passes its own, already built, folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

if [ $# -eq 0 ]; then
    scripts/setup.sh
    scripts/build.sh build-install -DPUMP_BUILD_TESTS=OFF -DPUMP_BUILD_BENCH=OFF
    build=$root/build-install
else
    build=$(cd "$1" && pwd)
    cmake --build "$build" >/dev/null
fi

tmp=$(mktemp -d -t pumpinstall.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
fail() {
    echo "test-install: FAIL: $*" >&2
    exit 1
}

# Everything the install and the package must hold, relative to the prefix. The AppStream id
# is spelled out on purpose: software centres track the program by it, so it must not change.
appid=io.github.pumpconsole.PumpConsole
icon_sizes=(16 22 24 32 48 64 128 256 512)
expected=(
    bin/pumpconsole
    bin/pumpsim
    share/applications/pumpconsole.desktop
    "share/metainfo/$appid.metainfo.xml"
)
for size in "${icon_sizes[@]}"; do
    expected+=("share/icons/hicolor/${size}x${size}/apps/pumpconsole.png")
done
printf '%s\n' "${expected[@]}" | sort >"$tmp/expected"

echo "-- install into a temporary prefix"
prefix=$tmp/root/usr
cmake --install "$build" --prefix "$prefix" >"$tmp/install.log" || { cat "$tmp/install.log" >&2; fail "cmake --install"; }
(cd "$prefix" && find . ! -type d | sed 's|^\./||' | sort) >"$tmp/installed"
diff -u "$tmp/expected" "$tmp/installed" >&2 || fail "installed files differ from the expected list (- missing, + unexpected)"

for program in pumpconsole pumpsim; do
    if readelf -d "$prefix/bin/$program" | grep -E 'R(UN)?PATH' | grep -qF "$build"; then
        fail "installed $program still looks for libraries in the build folder"
    fi
done

echo "-- desktop entry"
desktop=$prefix/share/applications/pumpconsole.desktop
desktop-file-validate "$desktop" >"$tmp/desktop.log" 2>&1 || true
# Hints are advice; errors and warnings are faults.
if grep -v ': hint: ' "$tmp/desktop.log" | grep -q .; then
    cat "$tmp/desktop.log" >&2
    fail "desktop-file-validate"
fi
entry() { sed -n "s/^$1=//p" "$desktop"; }
[ -x "$prefix/bin/$(entry Exec | cut -d' ' -f1)" ] || fail "Exec=$(entry Exec) is not an installed program"
[ -n "$(entry 'Name\[zh_CN\]')" ] || fail "the menu entry has no Chinese name"
for size in "${icon_sizes[@]}"; do
    png=$prefix/share/icons/hicolor/${size}x${size}/apps/$(entry Icon).png
    [ -f "$png" ] || fail "Icon=$(entry Icon) has no ${size}x${size} picture"
    file -b "$png" | grep -q "^PNG image data, $size x $size," || fail "$png is not a ${size}x${size} PNG"
done

echo "-- icons are what the image generator draws"
imagegen=$(find "$build" -name pump_imagegen -type f -perm -u+x | head -n 1)
[ -n "$imagegen" ] || fail "no pump_imagegen in $build"
mkdir -p "$tmp/pictures" "$tmp/icons"
"$imagegen" "$tmp/pictures" "$tmp/icons" 2>"$tmp/imagegen.log" || { cat "$tmp/imagegen.log" >&2; fail "pump_imagegen"; }
for size in "${icon_sizes[@]}"; do
    icon=hicolor/${size}x${size}/apps/pumpconsole.png
    cmp -s "$tmp/icons/$icon" "$prefix/share/icons/$icon" ||
        fail "installed $icon differs from the generator's; run pump_imagegen and commit packaging/icons/"
done

echo "-- AppStream metadata"
# validate-tree also checks that the metadata's launchable desktop entry is installed beside it.
# --no-net: the screenshot's address is checked for form, not fetched.
appstreamcli validate-tree --no-net "$tmp/root" >"$tmp/appstream.log" 2>&1 || { cat "$tmp/appstream.log" >&2; fail "appstreamcli validate-tree"; }
metainfo=$prefix/share/metainfo/$appid.metainfo.xml
grep -q "<summary xml:lang=\"zh_CN\">" "$metainfo" || fail "the metadata has no Chinese summary"
read -r width height < <(file -b docs/screenshot.png | sed -n 's/^PNG image data, \([0-9]*\) x \([0-9]*\),.*/\1 \2/p') ||
    fail "docs/screenshot.png is not a PNG"
grep -q "<image type=\"source\" width=\"$width\" height=\"$height\">" "$metainfo" ||
    fail "the metadata's screenshot size is not that of docs/screenshot.png (${width}x${height})"

echo "-- Debian package"
(cd "$tmp" && cpack --config "$build/CPackConfig.cmake" -G DEB -B "$tmp/package") >"$tmp/cpack.log" 2>&1 || { cat "$tmp/cpack.log" >&2; fail "cpack -G DEB"; }
debs=("$tmp"/package/pumpconsole_*_"$(dpkg --print-architecture)".deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack made no single pumpconsole_VERSION_ARCH.deb: $(ls "$tmp/package")"
deb=${debs[0]}
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\.\/usr\//, "", $6); print $6 }' | sort >"$tmp/packaged"
diff -u "$tmp/expected" "$tmp/packaged" >&2 || fail "the package's files differ from the expected list (- missing, + unexpected)"
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ && $6 ~ /^\.\/usr\/bin\// && $1 != "-rwxr-xr-x" { bad = 1 } END { exit bad }' ||
    fail "a program in the package is not executable"
dpkg-deb -x "$deb" "$tmp/unpacked"
file "$tmp"/unpacked/usr/bin/* | grep -q 'not stripped' && fail "the package's programs are not stripped"

depends=$(dpkg-deb -f "$deb" Depends)
# libqt6widgets6 and libc6 can only have come from dpkg-shlibdeps reading the programs.
for package in fonts-noto-cjk qt6-translations-l10n libqt6widgets6 libqt6serialport6 libqt6printsupport6 libmosquitto1 libc6; do
    echo "$depends" | tr ',' '\n' | grep -qE "^ *$package( |$)" || fail "Depends lacks $package: $depends"
done
dpkg-deb -f "$deb" Description | grep -q 'usermod -aG dialout' || fail "the package's description lacks the dialout hint"

echo "-- the installed programs start"
mkdir -p "$tmp/home" && mkdir -m 700 "$tmp/runtime"
run_installed() {
    # A fresh home, so nothing of the build user's settings, documents or ports is used or touched.
    env HOME="$tmp/home" XDG_CONFIG_HOME="$tmp/home/.config" XDG_RUNTIME_DIR="$tmp/runtime" \
        PATH="$prefix/bin:$PATH" QT_QPA_PLATFORM=offscreen "$@"
}
[ "$(run_installed sh -c 'command -v pumpconsole')" = "$prefix/bin/pumpconsole" ] || fail "pumpconsole is not found on PATH"
status=0
run_installed timeout 3 pumpconsole >"$tmp/console.log" 2>&1 || status=$?
# 124: still running when the time ran out, which is what a console waiting for its operator does.
[ "$status" -eq 124 ] || { cat "$tmp/console.log" >&2; fail "the installed console ended by itself (exit status $status)"; }
status=0
run_installed timeout 2 pumpsim --rate 0 >"$tmp/pumpsim.log" 2>&1 || status=$?
[ "$status" -eq 124 ] && grep -q '^pty: /dev/' "$tmp/pumpsim.log" || { cat "$tmp/pumpsim.log" >&2; fail "the installed pumpsim did not start (exit status $status)"; }

echo "test-install: OK ($(basename "$deb"), Depends: $depends)"
