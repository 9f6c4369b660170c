#!/usr/bin/env bash
# Shared set-up for run.sh and test.sh: installs the Debian packages the build and the tests
# need (only those missing, so a second run needs neither root nor network), then
# configures and builds the given CMake preset.
set -euo pipefail

# Build tools and libraries, what the running application loads (the X11 and Wayland platform
# plugins, the SVG icon engine the Breeze theme needs, picture formats, fonts, certificates for
# https pages, xdg-open for links), and what the tests run against (a D-Bus daemon, the GNOME
# keyring daemon, a virtual X server, a headless Wayland compositor, the validators of desktop
# entries and AppStream metadata, `ip` for the network namespace the address tests give
# themselves).
QUILLORY_PACKAGES=(
  cmake ninja-build g++ pkg-config clang-format tzdata
  qt6-base-dev libsqlite3-dev libssl-dev libsecret-1-dev libsimdjson-dev libgumbo-dev libzstd-dev zlib1g-dev
  qt6-qpa-plugins qt6-wayland libqt6svg6 qt6-image-formats-plugins breeze-icon-theme fonts-dejavu-core
  ca-certificates xdg-utils
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  dbus-daemon dbus-bin gnome-keyring xvfb xauth weston desktop-file-utils appstream iproute2
)

quillory_install_missing() {
  local missing=()
  for package in "${QUILLORY_PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed'; then
      missing+=("$package")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

quillory_build() {
  local preset=$1
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
}
