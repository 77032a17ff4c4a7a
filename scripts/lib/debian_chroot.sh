# Sourced by scripts/test (after packages.sh): Velmora built and tested in a
# Debian 13 chroot, so that what the current stable release brings (Qt 6.8,
# GCC 14, Orca 48) is proven beside the machine's own release. The chroot is
# made with debootstrap from Debian's archive, kept in a cache outside the
# tree and brought up to date at every use; it runs in mount and process
# namespaces of its own, so that its mounts are undone and its processes
# ended with it, whatever happens, and nothing in it can see the machine's
# own (a screen reader above all). The source tree is seen in it read-only;
# its build folder stays in the chroot, so later runs build only what changed.
#   VELMORA_CHROOT_CACHE  where the chroot is kept (default ~/.cache/velmora)

DEBIAN13_SUITE=trixie
DEBIAN13_MIRROR=http://deb.debian.org/debian

# debian13_chroot: the chroot's folder, made first when there is none.
debian13_chroot() {
    local dir="${VELMORA_CHROOT_CACHE:-$HOME/.cache/velmora}/debian13"
    if [ ! -x "$dir/usr/bin/apt-get" ]; then
        ensure_packages debootstrap >&2
        echo "Making a Debian 13 chroot in $dir (debootstrap)" >&2
        as_root rm -rf "$dir.new"
        as_root mkdir -p "$(dirname "$dir")"
        as_root debootstrap --variant=minbase "$DEBIAN13_SUITE" "$dir.new" "$DEBIAN13_MIRROR" >&2
        # Its updates and security fixes, as on an installed system.
        as_root tee "$dir.new/etc/apt/sources.list" >/dev/null <<EOF
deb $DEBIAN13_MIRROR $DEBIAN13_SUITE main
deb $DEBIAN13_MIRROR $DEBIAN13_SUITE-updates main
deb http://deb.debian.org/debian-security $DEBIAN13_SUITE-security main
EOF
        as_root mv "$dir.new" "$dir"
    fi
    echo "$dir"
}

# in_debian13 COMMAND...: runs the command (a root shell command line) in the
# chroot, with /proc, /sys, /dev and a fresh /tmp, the source tree at
# /velmora/src, and the network's name lookup.
in_debian13() {
    local dir root
    dir="$(debian13_chroot)"
    root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
    as_root mkdir -p "$dir/velmora/src"
    as_root cp /etc/resolv.conf "$dir/etc/resolv.conf"
    as_root unshare --mount --pid --fork --propagation private bash -c '
        set -e
        dir="$1" root="$2"
        shift 2
        mount -t proc proc "$dir/proc"
        mount -t sysfs sys "$dir/sys"
        mount --rbind /dev "$dir/dev"
        mount -t tmpfs tmpfs "$dir/tmp"
        mount --bind "$root" "$dir/velmora/src"
        mount -o remount,bind,ro "$dir/velmora/src"
        exec chroot "$dir" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
            TERM="${TERM:-dumb}" bash -c "$*"
    ' in_debian13 "$dir" "$root" "$@"
}

# test_in_debian13 CTEST_ARGUMENTS...: brings the chroot up to date with what
# building and testing need, builds Velmora there with its tests (warnings
# are errors) and runs ctest with those arguments.
test_in_debian13() {
    echo "=== Debian 13 (in a chroot): ctest $*"
    in_debian13 "
        set -euo pipefail
        source /velmora/src/scripts/lib/packages.sh
        export DEBIAN_FRONTEND=noninteractive
        apt-get update -qq && apt-get dist-upgrade -y -qq >/dev/null
        ensure_packages \"\${BUILD_PACKAGES[@]}\" \"\${TEST_PACKAGES[@]}\" \"\${HEADLESS_PACKAGES[@]}\" \
            \"\${A11Y_PACKAGES[@]}\"
        cmake -S /velmora/src -B /velmora/build -DCMAKE_BUILD_TYPE=Debug -DVELMORA_TESTS=ON -DVELMORA_WERROR=ON \
            -DVELMORA_A11Y_TESTS=ON >/dev/null
        cmake --build /velmora/build -j\$(nproc)
        cd /velmora/build
        ctest --output-on-failure --timeout 600 $*
    "
}
