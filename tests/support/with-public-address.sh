#!/bin/sh
# Runs a test program in network and mount namespaces of its own (unprivileged, through
# unshare) where the loopback interface also holds 198.51.100.7, a documentation address
# that every address check takes for a public one, and where /etc/hosts names it
# public.test, names 127.0.0.1 sneaky.test, and gives twice.test both, 127.0.0.1 first.
# Where the machine allows no such namespaces, or `ip` (iproute2) is missing, the program
# runs as it is and the tests that need the address skip.
set -u
hosts=$(mktemp)
trap 'rm -f "$hosts"' EXIT
printf '127.0.0.1 localhost sneaky.test twice.test\n198.51.100.7 public.test twice.test\n' >"$hosts"
setup='ip link set lo up && ip addr add 198.51.100.7/32 dev lo && mount --bind "$0" /etc/hosts'
if unshare -rnm sh -c "$setup" "$hosts" >/dev/null 2>&1; then
  unshare -rnm sh -c "$setup"' && exec "$@"' "$hosts" "$@"
else
  "$@"
fi
