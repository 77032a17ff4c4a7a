#!/usr/bin/env bash
# Runs in_debian RELEASE COMMAND under a parent whose mounts are shared (as
# systemd shares them), made so in a mount namespace of this test's own (the
# machine's mounts are not touched), and fails when anything of the chroot is
# still mounted there afterwards, whatever COMMAND's status.
#   chroot_mounts_test.sh RELEASE COMMAND
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/../../scripts/lib/packages.sh"
as_root unshare --mount --propagation private bash -c '
    set -uo pipefail
    source "$1/../../scripts/lib/packages.sh"
    source "$1/../../scripts/lib/debian_chroot.sh"
    shift
    mount --make-rshared /
    dir="$(debian_chroot "$1")"
    in_debian "$@"
    status=$?
    left="$(findmnt -rn -o TARGET | grep -F "$dir" || true)"
    if [ -n "$left" ]; then
        echo "FAIL: the chroot'"'"'s mounts reached the namespace around it:" $left
        exit 1
    fi
    echo "the chroot'"'"'s mounts stayed in its own namespace"
    exit "$status"
' chroot_mounts_test "$here" "$@"
