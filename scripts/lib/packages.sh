# Sourced by the other scripts: installs the Debian packages they need.

# Runs a command as root: directly when we are root, else through sudo.
as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    else
        sudo "$@"
    fi
}

# give_to_tree_owner TREE PATH: what a run as root wrote at PATH in TREE
# belongs to the owner of TREE, as what that user builds there does.
give_to_tree_owner() {
    [ "$(id -u)" -eq 0 ] && [ "$(stat -c %u "$1")" -ne 0 ] && [ -e "$2" ] || return 0
    chown -R "$(stat -c %u:%g "$1")" "$2"
}

# ensure_packages PKG...: installs whichever of them is missing.
ensure_packages() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$pkg")
        fi
    done
    if [ "${#missing[@]}" -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        as_root apt-get update -qq
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
    fi
}

# What building and running the program needs.
BUILD_PACKAGES=(build-essential cmake pkgconf qt6-base-dev qt6-base-private-dev libgl-dev libxcb1-dev libdbus-1-dev qt6-qpa-plugins
                qt6-translations-l10n fonts-liberation dbus dbus-daemon dbus-bin)
# What the tests need besides (five check installing and packaging; e2fsprogs's chattr makes a folder
# that takes no new file; acl and attr set and read what a save must keep).
TEST_PACKAGES=(desktop-file-utils appstream file dpkg-dev lintian e2fsprogs acl attr)
# What testing the Windows link under Wine needs (wine32 from the i386 architecture; MinGW's widl for the
# screen reader's RPC interface).
WINE_PACKAGES=(g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine wine64 wine64-tools wine32:i386 mingw-w64-tools)

# What the Wine bridge needs: its Windows side is a 32-bit program (wine32 from the i386 architecture).
BRIDGE_PACKAGES=(g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 wine wine32:i386)

# What cross-building the Windows program and its installer needs (the Qt kit itself: scripts/windows-qt-kit).
WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
                  mingw-w64-tools cmake qt6-base-dev qt6-base-dev-tools qt6-translations-l10n ninja-build zstd nsis unzip)

# ensure_i386: lets apt install i386 packages.
ensure_i386() {
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        as_root dpkg --add-architecture i386
        as_root apt-get update -qq
    fi
}

# What hearing it through a screen reader needs (Orca's start-up looks for
# other Orcas with pgrep).
A11Y_PACKAGES=(orca at-spi2-core python3-pyatspi procps)

# What showing it on a machine without a display needs.
HEADLESS_PACKAGES=(xvfb xauth xdotool imagemagick x11-utils x11-xserver-utils xclip)
