#!/usr/bin/env bash
# Installs Velmora as a user would and checks what lands: "cmake --install"
# into a scratch root, the desktop entry and AppStream file through their
# validators, then the Debian package built by CPack installed with apt-get,
# the installed program started on a real X server against the stand-in
# conference and ended from its own button, and the package removed again.
#   package_test.sh SOURCE_DIR BUILD_DIR CONFERENCE_STANDIN
set -uo pipefail
source_dir="$(readlink -f "$1")"
build="$(readlink -f "$2")"
standin="$(readlink -f "$3")"
work="$(mktemp -d /tmp/velmora-package.XXXXXX)"
chmod 755 "$work" # apt's download user reads the package from here
pids=()
installed_by_us=0
source "$source_dir/scripts/lib/packages.sh"

# installed [PACKAGE]: whether the package (velmora unless named) is installed.
installed() { dpkg-query -W -f='${Status}' "${1:-velmora}" 2>/dev/null | grep -q "install ok installed"; }
package_installed() { installed velmora || installed velmora-wine-bridge; }

cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    if [ "$installed_by_us" -eq 1 ] && package_installed; then
        as_root env DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq velmora velmora-wine-bridge >/dev/null 2>&1
    fi
    rm -rf "$work"
}
trap cleanup EXIT

source "$source_dir/scripts/lib/x_session.sh"

if package_installed; then
    echo "A velmora package is already installed on this machine; remove it (apt-get remove velmora) first."
    exit 1
fi

# --- cmake --install ----------------------------------------------------------

root="$work/root"
DESTDIR="$root" cmake --install "$build" --prefix /usr >/dev/null
desktop="$root/usr/share/applications/org.velmora.Velmora.desktop"
metainfo="$root/usr/share/metainfo/org.velmora.Velmora.metainfo.xml"
check "the executable is installed" test -x "$root/usr/bin/velmora"
check "the desktop entry is installed" test -f "$desktop"
check "the AppStream file is installed" test -f "$metainfo"
check "the conference's D-Bus interface description is installed where other programs look for it" \
    cmp -s "$source_dir/src/conference_link/org.velmora.Conference1.xml" \
    "$root/usr/share/dbus-1/interfaces/org.velmora.Conference1.xml"
for size in 16 24 32 48 64 128 256; do
    icon="$root/usr/share/icons/hicolor/${size}x${size}/apps/velmora.png"
    check "the ${size}x${size} icon is installed at that size" \
        test "$(identify -format '%wx%h' "$icon" 2>/dev/null)" = "${size}x${size}"
done
check "the stand-in conference is not installed" test -z "$(find "$root" -name 'conference-standin*')"

check "desktop-file-validate passes" desktop-file-validate "$desktop"
check "appstreamcli validate passes" appstreamcli validate --no-net "$metainfo"
entry() { sed -n "s/^$1=//p" "$desktop"; }
check "the entry starts the installed executable" test -x "$root/usr/bin/$(entry Exec)"
check "the entry names the installed icon" test -f "$root/usr/share/icons/hicolor/48x48/apps/$(entry Icon).png"
check "the entry's name and comment are in Portuguese" \
    bash -c "grep -q '^GenericName=Chat da conferência$' '$desktop' && grep -q '^Comment=.*radioamador' '$desktop'"
check "the entry is in the Network and HamRadio categories" \
    bash -c "grep -q '^Categories=.*Network;' '$desktop' && grep -q '^Categories=.*HamRadio;' '$desktop'"
screenshot="$(sed -n 's:.*<image>.*/\(docs/[^<]*\)</image>.*:\1:p' "$metainfo")"
check "the AppStream screenshot is one of ours" test -f "$source_dir/$screenshot"

# --- the Debian package ---------------------------------------------------------------

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1) ||
    { cat "$work/cpack.log"; echo "cpack failed"; exit 1; }
deb="$(ls "$work"/package/velmora_*.deb 2>/dev/null | head -n 1)"
check "CPack builds velmora_*.deb" test -n "$deb"
chmod 644 "$deb"
depends="$(dpkg-deb -f "$deb" Depends)"
echo "Depends: $depends"
# (Qt Core is libqt6core6t64 from Debian 13 on, after the 64-bit time transition.)
for pkg in 'libqt6core6(t64)?' libqt6gui6 libqt6widgets6 libqt6dbus6 libc6 fonts-liberation qt6-qpa-plugins \
    qt6-translations-l10n; do
    check "the package depends on $pkg" grep -qE "(^|, )$pkg( |,|$)" <<<"$depends"
done
check "the stand-in conference is not in the package" bash -c "! dpkg-deb -c '$deb' | grep -q conference-standin"
bridge_deb="$(ls "$work"/package/velmora-wine-bridge_*.deb 2>/dev/null | head -n 1)"
check "and velmora-wine-bridge_*.deb beside it" test -n "$bridge_deb"
chmod 644 "$bridge_deb"
lintian_clean() { # lintian_clean DEB: no error, no warning
    lintian --fail-on error,warning "$1" >"$work/lintian.log" 2>&1 && return 0
    cat "$work/lintian.log"
    return 1
}
check "lintian finds nothing wrong with the package" lintian_clean "$deb"
check "nor with the bridge's" lintian_clean "$bridge_deb"
check "the manual page is installed, in Portuguese too" bash -c "dpkg-deb -c '$deb' | grep -q 'usr/share/man/man1/velmora.1.gz' &&
    dpkg-deb -c '$deb' | grep -q 'usr/share/man/pt_BR/man1/velmora.1.gz'"
bridge_depends="$(dpkg-deb -f "$bridge_deb" Depends)"
for pkg in velmora wine libqt6dbus6; do
    check "the bridge's package depends on $pkg" grep -qE "(^|, )$pkg( |,|$)" <<<"$bridge_depends"
done

installed_by_us=1
(cd "$work/package" && as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "./$(basename "$deb")" \
    "./$(basename "$bridge_deb")") \
    >"$work/apt.log" 2>&1 || cat "$work/apt.log"
check "apt-get installs the package" installed velmora
check "velmora is on the path" test "$(command -v velmora)" = /usr/bin/velmora
check "its desktop entry is in the application menu's folder" test -f /usr/share/applications/org.velmora.Velmora.desktop
check "apt-get installs the bridge's package" installed velmora-wine-bridge
check "the bridge is on the path" test -x /usr/bin/velmora-wine-bridge
check "its Windows side is in /usr/lib/velmora" test -f /usr/lib/velmora/conference-bridge.exe
bridge_entry=/usr/share/applications/org.velmora.VelmoraWine.desktop
check "its desktop entry is valid" desktop-file-validate "$bridge_entry"
check "and runs velmora through the bridge" grep -qx "Exec=velmora-wine-bridge -- velmora" "$bridge_entry"
check "the installed bridge starts" /usr/bin/velmora-wine-bridge --help

# --- the installed program on a real X server ------------------------------------------

start_x_server
start_standin
mkdir -p "$work/home"
(cd "$work/home" && exec /usr/bin/velmora) 2>/dev/null &
velmora_pid=$!
pids+=("$velmora_pid")
check "the installed program shows its chat window" wait_for 10 has_window "$CHAT_TITLE"
W="$(window_named "$CHAT_TITLE")"
if [ -n "$W" ]; then
    xdotool windowfocus --sync "$W"
    click "$W" "${TEXT2[@]}"
    xdotool type --delay 20 "instalado"
    xdotool key Return
    check "and talks to the conference" wait_for 5 grep -qx "instalado" "$work/sent.txt"
    click "$W" "${COMMAND1[@]}"
fi
check "Encerrar programa ends it" ended "$velmora_pid"
check "cleanly, with status 0" test "${status:-1}" -eq 0

# --- removal ----------------------------------------------------------------------------

as_root env DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq velmora velmora-wine-bridge >"$work/apt.log" 2>&1 ||
    cat "$work/apt.log"
package_gone() { ! package_installed; }
check "apt-get remove takes the package away" package_gone
check "and the executable" test ! -e /usr/bin/velmora
check "and the desktop entry" test ! -e /usr/share/applications/org.velmora.Velmora.desktop
check "and the bridge's files" bash -c "! test -e /usr/bin/velmora-wine-bridge && ! test -e /usr/lib/velmora"

echo "package: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
