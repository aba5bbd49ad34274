#!/usr/bin/env bash
# Installs the Debian packages that bench/compare and profiling need; skips what is present.
# Safe to run again. The tests do not need any of these.
set -euo pipefail

packages=(
  sqlite3 libsqlite3-dev ripgrep python3-matplotlib linux-perf valgrind time
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
