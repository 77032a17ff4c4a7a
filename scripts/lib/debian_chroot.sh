# Sourced by the scripts that need a Debian release other than the machine's
# own (after packages.sh): a chroot of that release, made with debootstrap
# from Debian's archive, kept in a cache outside the tree and brought up to
# date at every use. It runs in mount and process namespaces of its own, so
# that its mounts are undone and its processes ended with it whatever
# happens, and nothing in it sees the machine's own processes (a screen
# reader above all). The source tree (and ../shared beside it, where there is
# one) is seen in it at the same path, read-only unless asked otherwise.
#   VELMORA_CHROOT_CACHE  where the chroots are kept (default ~/.cache/velmora)

DEBIAN_MIRROR=http://deb.debian.org/debian

# this_release: the codename of the machine's Debian (or other) release.
this_release() { (. /etc/os-release && echo "${VERSION_CODENAME:-}"); }

# debian_chroot RELEASE: the folder of the chroot of RELEASE (bookworm,
# trixie), made first when there is none.
debian_chroot() {
    local dir="${VELMORA_CHROOT_CACHE:-$HOME/.cache/velmora}/$1"
    if [ ! -x "$dir/usr/bin/apt-get" ]; then
        ensure_packages debootstrap >&2
        echo "Making a Debian $1 chroot in $dir (debootstrap)" >&2
        as_root rm -rf "$dir.new"
        as_root mkdir -p "$(dirname "$dir")"
        as_root debootstrap --variant=minbase "$1" "$dir.new" "$DEBIAN_MIRROR" >&2
        # Its updates and security fixes, as on an installed system.
        as_root tee "$dir.new/etc/apt/sources.list" >/dev/null <<EOF
deb $DEBIAN_MIRROR $1 main
deb $DEBIAN_MIRROR $1-updates main
deb http://deb.debian.org/debian-security $1-security main
EOF
        as_root mv "$dir.new" "$dir"
    fi
    echo "$dir"
}

# in_debian RELEASE [--writable] COMMAND: runs COMMAND (a shell command line)
# as root in the chroot of RELEASE, brought up to date first, with /proc,
# /sys, /dev, a fresh /tmp and the network's name lookup; with --writable the
# source tree may be written.
in_debian() {
    local release="$1" access=ro dir root shared
    shift
    [ "$1" = --writable ] && { access=rw; shift; }
    dir="$(debian_chroot "$release")"
    root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
    shared="$(dirname "$root")/shared"
    as_root cp /etc/resolv.conf "$dir/etc/resolv.conf"
    # Mounts made in the namespace stay in it, wherever this runs (in a chroot
    # too, where unshare cannot set the root's propagation): the namespace
    # keeps the propagation it is given, and the chroot folder is made a
    # private mount of its own in it before anything is mounted under it.
    as_root unshare --mount --pid --fork --propagation unchanged bash -c '
        set -e
        dir="$1" root="$2" shared="$3" access="$4"
        shift 4
        # The mount that holds the chroot, then the chroot folder bound onto
        # itself, made private in this namespace (the holder first, so that
        # the folder'"'"'s own mount does not reach the machine either).
        holder="$(findmnt -n -o TARGET -T "$dir" 2>/dev/null || true)"
        if [ -z "$holder" ] || ! mount --make-rprivate "$holder" 2>/dev/null ||
            ! mount --bind "$dir" "$dir" || ! mount --make-rprivate "$dir"; then
            echo "refusing to mount anything for the chroot: $dir cannot be made a private mount here" >&2
            exit 1
        fi
        mount -t proc proc "$dir/proc"
        mount -t sysfs sys "$dir/sys"
        mount --rbind /dev "$dir/dev"
        mount -t tmpfs tmpfs "$dir/tmp"
        mkdir -p "$dir$root" # (after /tmp, where a clone may be)
        mount --bind "$root" "$dir$root"
        mount -o "remount,bind,$access" "$dir$root"
        if [ -d "$shared" ]; then
            mkdir -p "$dir$shared"
            mount --bind "$shared" "$dir$shared"
            mount -o remount,bind,ro "$dir$shared"
        fi
        # The binds private too: what is mounted under them later stays here.
        mount --make-rprivate "$dir"
        exec chroot "$dir" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
            TERM="${TERM:-dumb}" bash -c "
                set -euo pipefail
                export DEBIAN_FRONTEND=noninteractive
                apt-get update -qq && apt-get dist-upgrade -y -qq >/dev/null
                $*"
    ' in_debian "$dir" "$root" "$shared" "$access" "$@"
}
