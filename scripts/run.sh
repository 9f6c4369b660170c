#!/usr/bin/env bash
# Installs what is missing, builds Quillory (optimised) and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/setup.sh
quillory_install_missing
quillory_build release
app=build/release/app/shell/quillory
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found; starting Quillory on a virtual X server (xvfb-run)."
  exec xvfb-run -a -s "-screen 0 1600x1000x24" "$app" "$@"
fi
exec "$app" "$@"
