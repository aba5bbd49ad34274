#!/usr/bin/env bash
# Sets up everything, builds the reader and the sample collection, and starts the reader on it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: the reader needs a desktop session; here is the same search from the command line."
  exec build/bin/kolva-search 明月
fi
# The browser engine's sandbox does not run as root.
if [ "$(id -u)" -eq 0 ]; then export QTWEBENGINE_DISABLE_SANDBOX=1; fi
exec build/bin/kolva "$@"
