#!/usr/bin/env bash
# Makes the Windows console on Debian 12, as root: installs the cross compiler, Wine and NSIS from
# Debian's packages, cross-builds the Qt modules the console uses into a cache outside the work
# tree (the first time only), builds pumpconsole.exe, lays it out with the DLLs it needs and
# packages it as a ZIP and an NSIS installer.
#   scripts/build-windows.sh [--qt-only]
# Environment:
#   PUMP_WINDOWS_CACHE  the Windows Qt and its sources (default ~/.cache/pumpconsole-windows)
#   PUMP_WINDOWS_OUT    the console's build, folder and packages (default build-windows/)
#   PUMP_WINDOWS_JOBS   parallel compile jobs (default 2)
#   PUMP_WINDOWS_COVERAGE=1  instrument the console and the check for gcov: run
#                       GCOV_PREFIX=Z: scripts/test-windows.sh (Z: is / under Wine) and the .gcda
#                       files land in the build, for x86_64-w64-mingw32-gcov
# Compiles run under nice -n 19: the first Qt build takes long and the machine is shared.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cache=${PUMP_WINDOWS_CACHE:-$HOME/.cache/pumpconsole-windows}
out=${PUMP_WINDOWS_OUT:-$root/build-windows}
jobs=${PUMP_WINDOWS_JOBS:-2}
qt_only=0
for argument in "$@"; do
    case $argument in
    --qt-only) qt_only=1 ;;
    *) echo "build-windows: unknown argument $argument (only --qt-only)" >&2; exit 2 ;;
    esac
done

qt_version=6.4.2
qt=$cache/qt-$qt_version-mingw64
qt_done=$qt/.pumpconsole-complete
serialport_tarball=$root/../shared/deps/qtserialport-everywhere-src-$qt_version.tar.xz
serialport_sha256=682626d3ae07074df0f707dab880f1eab1c133a04d5bed688a3ec63af305ae89
toolchain=$root/cmake/toolchain-mingw64.cmake
host_cmake_dir=/usr/lib/x86_64-linux-gnu/cmake
niced=(nice -n 19)

log() { echo "build-windows: $*"; }
die() { echo "build-windows: $*" >&2; exit 1; }

case $cache/ in
"$root"/*) die "PUMP_WINDOWS_CACHE ($cache) must lie outside the work tree" ;;
esac
[ "$(id -u)" -eq 0 ] || die "run as root: it installs Debian packages"

# --- 1. Debian packages -----------------------------------------------------------------------
packages=(
    # the cross compiler, POSIX threads flavour
    gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
    mingw-w64-x86-64-dev
    # the host Qt the cross build's tools (moc, rcc, uic) come from, and Qt's Chinese catalogue
    qt6-base-dev qt6-base-dev-tools qt6-translations-l10n
    # building Qt and the console, fetching Debian's Qt source
    cmake ninja-build perl python3 dpkg-dev xz-utils
    # packaging
    nsis zip
    # trying it: scripts/test-windows.sh
    wine wine64 xvfb xauth xdotool imagemagick util-linux
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    log "installing ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
[ -d /usr/lib/gcc/x86_64-w64-mingw32/12-posix ] || die "MinGW-w64's POSIX flavour is missing"

# Debian's own source archive for the same suites and keyring, so that apt-get source can fetch
# Debian's Qt. Only the deb-src twin of the machine's Debian entries is added.
add_deb_src() {
    local list=/etc/apt/sources.list.d/pumpconsole-deb-src.sources
    [ -e "$list" ] && return 0
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
        sed -e 's/^Types:.*$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources >"$list"
    elif [ -f /etc/apt/sources.list ]; then
        grep -E '^deb ' /etc/apt/sources.list | sed -e 's/^deb /deb-src /' \
            >/etc/apt/sources.list.d/pumpconsole-deb-src.list
    else
        die "no Debian sources list to add deb-src to"
    fi
    apt-get update -qq
}

# --- 2. Qt for Windows, in the cache ----------------------------------------------------------
build_qt() {
    local started=$SECONDS
    mkdir -p "$cache/src" "$cache/build"

    local base_src
    base_src=$(find "$cache/src" -maxdepth 1 -type d -name "qt6-base-$qt_version*" | head -n 1)
    if [ -z "$base_src" ]; then
        add_deb_src
        # The same Debian revision as the host Qt the cross build's tools come from.
        local revision
        revision=$(dpkg-query -W -f '${source:Version}' qt6-base-dev)
        case $revision in "$qt_version"*) ;; *) die "the host Qt is $revision, not $qt_version" ;; esac
        log "fetching Debian's qt6-base $revision source"
        (cd "$cache/src" && apt-get source -qq qt6-base="$revision")
        base_src=$(find "$cache/src" -maxdepth 1 -type d -name "qt6-base-$qt_version*" | head -n 1)
        [ -n "$base_src" ] || die "apt-get source qt6-base gave no qt6-base-$qt_version folder"
    fi

    [ -f "$serialport_tarball" ] || die "missing $serialport_tarball"
    echo "$serialport_sha256  $serialport_tarball" | sha256sum -c --quiet - ||
        die "$serialport_tarball does not have the expected sha256"
    local serial_src=$cache/src/qtserialport-everywhere-src-$qt_version
    [ -d "$serial_src" ] || tar -C "$cache/src" -xf "$serialport_tarball"

    # Only what the console uses: Core, Gui, Widgets, PrintSupport (and Test, which its CMake
    # asks for), the Windows platform plugin; no SQL, network, OpenGL or D-Bus. Debian's source
    # lacks the Wintab headers, hence no tablet events. Qt's bundled zlib, PCRE, PNG, JPEG,
    # FreeType and HarfBuzz: MinGW has none of them.
    local base_build=$cache/build/qtbase
    if [ ! -f "$base_build/build.ninja" ]; then
        log "configuring qtbase ($base_src)"
        rm -rf "$base_build" && mkdir -p "$base_build"
        (cd "$base_build" && "${niced[@]}" "$base_src/configure" \
            -prefix "$qt" -xplatform win32-g++ -qt-host-path /usr -release \
            -nomake examples -nomake tests -no-opengl -no-dbus \
            -no-feature-sql -no-feature-network -no-feature-tabletevent \
            -no-feature-concurrent -no-feature-xml \
            -qt-zlib -qt-pcre -qt-libpng -qt-libjpeg -qt-freetype -qt-harfbuzz \
            -- -G Ninja -DQT_HOST_PATH_CMAKE_DIR="$host_cmake_dir" \
            -DCMAKE_TOOLCHAIN_FILE="$toolchain")
    fi
    log "building qtbase (log: $base_build/build.log)"
    "${niced[@]}" cmake --build "$base_build" --parallel "$jobs" >"$base_build/build.log" 2>&1 ||
        { tail -n 40 "$base_build/build.log"; die "qtbase did not build"; }
    "${niced[@]}" cmake --install "$base_build" >"$base_build/install.log" 2>&1 ||
        { tail -n 40 "$base_build/install.log"; die "qtbase did not install"; }

    local serial_build=$cache/build/qtserialport
    rm -rf "$serial_build" && mkdir -p "$serial_build"
    log "building Qt Serial Port"
    "${niced[@]}" "$qt/bin/qt-cmake" -S "$serial_src" -B "$serial_build" -G Ninja \
        -DCMAKE_BUILD_TYPE=Release >"$serial_build/configure.log" 2>&1 ||
        { tail -n 40 "$serial_build/configure.log"; die "Qt Serial Port did not configure"; }
    "${niced[@]}" cmake --build "$serial_build" --parallel "$jobs" >"$serial_build/build.log" 2>&1 ||
        { tail -n 40 "$serial_build/build.log"; die "Qt Serial Port did not build"; }
    "${niced[@]}" cmake --install "$serial_build" >"$serial_build/install.log" 2>&1 ||
        { tail -n 40 "$serial_build/install.log"; die "Qt Serial Port did not install"; }

    echo "$((SECONDS - started))" >"$cache/qt-build-seconds"
    touch "$qt_done"
    log "Qt for Windows built into $qt in $((SECONDS - started)) s"
}

if [ -f "$qt_done" ]; then
    log "reusing the Windows Qt in $qt"
else
    build_qt
fi
[ "$qt_only" -eq 1 ] && exit 0

# --- 3. The console for Windows ---------------------------------------------------------------
# No tests or benchmarks (GoogleTest and Google Benchmark exist for Linux only here), and no
# publishing (libmosquitto neither). The Qt DLLs are laid out below, not by Qt's deployment
# script: Qt 6.4's calls windeployqt, which only Qt's own Windows tools carry.
build=$out/build
coverage=(-DCMAKE_CXX_FLAGS= -DCMAKE_EXE_LINKER_FLAGS=)
if [ "${PUMP_WINDOWS_COVERAGE:-0}" = 1 ]; then
    coverage=(-DCMAKE_CXX_FLAGS=--coverage -DCMAKE_EXE_LINKER_FLAGS=--coverage)
fi
started=$SECONDS
log "building the console into $build"
mkdir -p "$out"
"${niced[@]}" cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_PREFIX_PATH="$qt" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR="$host_cmake_dir" \
    -DPUMP_BUILD_TESTS=OFF -DPUMP_BUILD_BENCH=OFF -DPUMP_WITH_MQTT=OFF -DPUMP_DEPLOY_QT=OFF \
    -DPUMP_WINDOWS_CHECK=ON \
    "${coverage[@]}" \
    >"$out/configure.log" 2>&1 || { tail -n 40 "$out/configure.log"; die "the console did not configure"; }
"${niced[@]}" cmake --build "$build" --parallel "$jobs" --target pumpconsole check_windowsbranches \
    >"$out/build.log" 2>&1 ||
    { tail -n 40 "$out/build.log"; die "the console did not build"; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || die "no project version in $build/CMakeCache.txt"

# --- 4. The folder: the program, the DLLs it loads, Qt's plugins and Chinese catalogue --------
name=pumpconsole-$version
folder=$out/$name
rm -rf "$folder" && mkdir -p "$folder"
cp "$build/app/pumpconsole.exe" "$folder/"
# The platform plugin (without it nothing starts) and the native look of Windows 10/11. The
# system's printers need no plugin: Qt 6 has them inside Qt6PrintSupport.dll.
plugins=(platforms/qwindows.dll styles/qwindowsvistastyle.dll)
for plugin in "${plugins[@]}"; do
    [ -f "$qt/plugins/$plugin" ] || die "the Windows Qt has no $plugin"
    mkdir -p "$folder/$(dirname "$plugin")"
    cp "$qt/plugins/$plugin" "$folder/$plugin"
done
mkdir -p "$folder/translations"
cp /usr/share/qt6/translations/qtbase_zh_CN.qm "$folder/translations/"
# Qt looks for its plugins and catalogues relative to the program's folder.
printf '[Paths]\nPrefix = .\nPlugins = .\nTranslations = translations\n' >"$folder/qt.conf"

# Every DLL the program and the plugins import that Qt or MinGW provide, followed through the
# DLLs' own imports; the rest (KERNEL32.dll, USER32.dll…) are Windows'.
dll_dirs=("$qt/bin" /usr/lib/gcc/x86_64-w64-mingw32/12-posix /usr/x86_64-w64-mingw32/lib)
imports() { x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^\s*DLL Name: //p'; }
# gather_dlls FOLDER BINARY...: copies into FOLDER every DLL the binaries need, and strips all.
gather_dlls() {
    local into=$1 binary dll dir found
    shift
    local queue=("$@")
    while [ ${#queue[@]} -gt 0 ]; do
        binary=${queue[0]}
        queue=("${queue[@]:1}")
        while read -r dll; do
            [ -e "$into/$dll" ] && continue
            for dir in "${dll_dirs[@]}"; do
                found=$(find "$dir" -maxdepth 1 -iname "$dll" -print -quit)
                if [ -n "$found" ]; then
                    cp "$found" "$into/$dll"
                    queue+=("$into/$dll")
                    break
                fi
            done
        done < <(imports "$binary")
    done
    find "$into" -iname '*.dll' -o -iname '*.exe' | xargs x86_64-w64-mingw32-strip --strip-unneeded
}
binaries=("$folder/pumpconsole.exe")
for plugin in "${plugins[@]}"; do binaries+=("$folder/$plugin"); done
gather_dlls "$folder" "${binaries[@]}"
for needed in Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll Qt6PrintSupport.dll Qt6SerialPort.dll \
    libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
    [ -f "$folder/$needed" ] || die "$needed did not end up in $folder"
done

# The check of the Windows-only decisions, in a folder of its own: not shipped.
checks=$out/checks
rm -rf "$checks" && mkdir -p "$checks"
cp "$build/tests/windows/check_windowsbranches.exe" "$checks/"
gather_dlls "$checks" "$checks/check_windowsbranches.exe"

# --- 5. The ZIP and the installer -------------------------------------------------------------
zip_file=$out/$name-windows-x64.zip
rm -f "$zip_file"
(cd "$out" && TZ=UTC zip -q -r -X "$zip_file" "$name")

nsis=$out/nsis
rm -rf "$nsis" && mkdir -p "$nsis"
cp "$root/packaging/windows/pumpconsole.ico" "$nsis/"
{
    (cd "$folder" && find . -type d | sort) | while read -r dir; do
        rel=${dir#.}
        echo "SetOutPath \"\$INSTDIR${rel//\//\\}\""
        (cd "$folder/$dir" && find . -maxdepth 1 -type f | sort) | while read -r file; do
            echo "File \"$folder/${dir#./}/${file#./}\"" | sed 's#/\./#/#g'
        done
    done
    echo 'SetOutPath "$INSTDIR"'
} >"$nsis/files.nsh"
{
    (cd "$folder" && find . -type f | sort) | while read -r file; do
        rel=${file#./}
        echo "Delete \"\$INSTDIR\\${rel//\//\\}\""
    done
    (cd "$folder" && find . -mindepth 1 -type d | sort -r) | while read -r dir; do
        rel=${dir#./}
        echo "RMDir \"\$INSTDIR\\${rel//\//\\}\""
    done
} >"$nsis/remove.nsh"
setup=$out/$name-setup.exe
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DOUTFILE="$setup" \
    -DFILES="$nsis/files.nsh" -DREMOVE="$nsis/remove.nsh" -DICON="$nsis/pumpconsole.ico" \
    "$root/packaging/windows/pumpconsole.nsi" >"$nsis/makensis.log" 2>&1 ||
    { cat "$nsis/makensis.log"; die "makensis failed"; }

log "console built and packaged in $((SECONDS - started)) s:"
log "  folder    $folder"
log "  ZIP       $zip_file ($(du -h "$zip_file" | cut -f1))"
log "  installer $setup ($(du -h "$setup" | cut -f1))"
