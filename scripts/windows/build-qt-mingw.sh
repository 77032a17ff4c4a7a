#!/usr/bin/env bash
# Builds Qt 6.4.2 for cross-compiling 64-bit Windows programs with MinGW-w64,
# from Debian's own qt6-base source package, the same version as Debian's
# host tools (moc, rcc, uic), which the kit uses instead of building its own.
# Called by scripts/windows-qt-kit when no ready kit is at hand.
#
# Produces $PREFIX: Qt Core, Gui, Widgets and Test as DLLs (release,
# stripped), the "windows" platform plugin, the Windows styles, the gif and
# ico image plugins and the MinGW run-time DLLs. With PACKAGE=1 it also
# writes $WORKDIR/qt6.4.2-mingw64.tar.zst (the kit is relocatable).
#   WORKDIR  scratch folder for the source and build trees (default ./qt-mingw-work)
#   PREFIX   where the kit is installed (default $WORKDIR/qt6-mingw64)
#   JOBS     parallel compile jobs (default: the number of cores)
# About 45 minutes on two cores.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
source "$root/scripts/lib/packages.sh"

WORKDIR="${WORKDIR:-$PWD/qt-mingw-work}"
PREFIX="${PREFIX:-$WORKDIR/qt6-mingw64}"
JOBS="${JOBS:-$(nproc)}"
QT_DEB_VERSION=6.4.2+dfsg-10
TRIPLE=x86_64-w64-mingw32
SRC="$WORKDIR/src"
BUILD="$WORKDIR/build"
TOOLCHAIN="$root/cmake/mingw-toolchain.cmake"
NICE="nice -n 19"

log() { printf '\n=== %s: %s\n' "$(date +%H:%M:%S)" "$*"; }

# --- 1. Packages ---------------------------------------------------------------
# dpkg-dev unpacks the source package with Debian's patches; the host Qt must
# be exactly the version being cross-built.
ensure_packages "${WINDOWS_PACKAGES[@]}" dpkg-dev patch xz-utils cmake perl
case "$(dpkg-query -W -f='${Version}' qt6-base-dev)" in
    6.4.2*) ;;
    *) echo "the host qt6-base-dev must be 6.4.2, the version cross-built here" >&2; exit 1 ;;
esac

# apt-get source needs the source lines beside the binary ones.
ensure_deb_src() {
    if ! grep -rqsE '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
        log "adding source lines to apt's sources"
        for f in /etc/apt/sources.list.d/*.sources; do
            [ -f "$f" ] && as_root sed -i 's/^Types: deb$/Types: deb deb-src/' "$f"
        done
        if [ -f /etc/apt/sources.list ]; then
            sed -n 's/^deb /deb-src /p' /etc/apt/sources.list | as_root tee /etc/apt/sources.list.d/velmora-src.list >/dev/null
        fi
        as_root apt-get update -qq
    fi
}

# --- 2. Source, with Debian's patches and our two ----------------------------
# Ours, to the Windows platform plugin: 0001 builds it without the Wintab
# tablet headers, which Debian's DFSG tarball drops (pen input through
# WM_POINTER stays); 0002 guards its use of the DirectWrite font database,
# which QtGui compiles only with direct2d, switched off here.
mkdir -p "$WORKDIR"
if [ ! -d "$SRC" ]; then
    ensure_deb_src
    log "downloading qt6-base $QT_DEB_VERSION"
    (cd "$WORKDIR" && apt-get source --download-only "qt6-base=$QT_DEB_VERSION")
    $NICE dpkg-source --no-check -x "$WORKDIR/qt6-base_$QT_DEB_VERSION.dsc" "$SRC"
    for p in "$here"/qt-patches/*.patch; do
        log "applying $(basename "$p")"
        patch -d "$SRC" -p1 --forward <"$p"
    done
fi

# --- 3. Configure --------------------------------------------------------------
#   QT_HOST_PATH (in the toolchain file)  Debian's host tools, not built here.
#   BUILD_SHARED_LIBS=ON                  DLLs, as Qt is normally deployed.
#   modules off (dbus, sql, network, xml, concurrent, printsupport); testlib on.
#   no GPU back ends (opengl, vulkan, direct2d): raster painting only.
#   zstd, icu, glib, pkg-config off, bundled zlib, pcre2, png, freetype,
#     harfbuzz, double-conversion: no host (Linux) library may leak in.
#   jpeg off: the program needs PNG, GIF, ICO and BMP only.
#   androiddeployqt, windeployqt, qmake off: tools are not cross-built.
#   optimize_size (-Os): the DLLs a third smaller, for small Windows downloads.
log "configuring"
$NICE cmake -G Ninja -S "$SRC" -B "$BUILD" \
    -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_INSTALL_PREFIX="$PREFIX" -DCMAKE_BUILD_TYPE=Release \
    -DBUILD_SHARED_LIBS=ON \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF -DQT_BUILD_MANUAL_TESTS=OFF \
    -DQT_BUILD_TOOLS_WHEN_CROSSCOMPILING=OFF \
    -DFEATURE_dbus=OFF -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_xml=OFF \
    -DFEATURE_concurrent=OFF -DFEATURE_printsupport=OFF -DFEATURE_testlib=ON \
    -DFEATURE_opengl=OFF -DINPUT_opengl=no -DFEATURE_vulkan=OFF -DFEATURE_direct2d=OFF \
    -DFEATURE_pkg_config=OFF -DFEATURE_zstd=OFF -DFEATURE_icu=OFF -DFEATURE_glib=OFF \
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF \
    -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_doubleconversion=OFF \
    -DFEATURE_jpeg=OFF -DFEATURE_system_jpeg=OFF \
    -DFEATURE_androiddeployqt=OFF -DFEATURE_windeployqt=OFF -DFEATURE_qmake=OFF \
    -DFEATURE_optimize_size=ON

# --- 4. Build and install ------------------------------------------------------
log "building with $JOBS jobs"
$NICE cmake --build "$BUILD" --parallel "$JOBS"
$NICE cmake --install "$BUILD"

# --- 5. Finish the kit -----------------------------------------------------------
# The MinGW run-time DLLs (posix-thread flavour) beside Qt's, every DLL stripped.
gcc_dir="$(dirname "$("$TRIPLE-g++-posix" -print-libgcc-file-name)")"
install -m 0644 "$gcc_dir/libstdc++-6.dll" "$gcc_dir/libgcc_s_seh-1.dll" \
    "/usr/$TRIPLE/lib/libwinpthread-1.dll" "$PREFIX/bin/"
find "$PREFIX" -name '*.dll' -exec "$TRIPLE-strip" --strip-unneeded {} +
# Debian's host rcc compresses with zstd, which this Qt Core cannot read:
# AUTORCC is made to pass --no-zstd, as qt_add_resources() already does.
extras="$PREFIX/lib/cmake/Qt6Core/Qt6CoreConfigExtras.cmake"
grep -q -- '--no-zstd' "$extras" || cat "$here/autorcc-no-zstd.cmake" >>"$extras"
install -m 0644 "$TOOLCHAIN" "$PREFIX/mingw-toolchain.cmake"

if [ "${PACKAGE:-1}" = 1 ]; then
    tar -C "$(dirname "$PREFIX")" -cf - "$(basename "$PREFIX")" | zstd -19 -T"$JOBS" -q -f -o "$WORKDIR/qt6.4.2-mingw64.tar.zst"
fi
log "done: $PREFIX"
