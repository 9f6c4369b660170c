#!/bin/sh
# Runs a test program on a session bus of its own with a real, unlocked GNOME Keyring
# serving the Secret Service, and tells the program that bus in QUILLORY_KEYRING_BUS (the
# test main hides the session bus from every test that does not ask for it). The keyring
# lives in a temporary home that goes when the program ends.
set -eu
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME="$home" XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" \
       XDG_CACHE_HOME="$home/cache" XDG_RUNTIME_DIR="$home/run"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
# The keyring's unlock prompt would wait on a display nobody looks at.
unset DISPLAY WAYLAND_DISPLAY
dbus-run-session -- sh -c '
  printf %s quillory-tests |
    gnome-keyring-daemon --foreground --unlock --components=secrets >/dev/null 2>&1 &
  keyring=$!
  # The daemon outlives the bus unless stopped, so it runs in the foreground and is stopped.
  trap "kill $keyring 2>/dev/null" EXIT
  tries=0
  until dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
          org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>/dev/null |
        grep -q "boolean true"; do
    tries=$((tries + 1))
    if [ "$tries" -gt 100 ] || ! kill -0 "$keyring" 2>/dev/null; then
      echo "gnome-keyring-daemon did not start" >&2
      exit 1
    fi
    sleep 0.05
  done
  QUILLORY_KEYRING_BUS=$DBUS_SESSION_BUS_ADDRESS "$@"' sh "$@"
