#!/usr/bin/env bash
# Installs the Debian packages the project needs, and any packages named as arguments; skips
# what is present. Safe to run again.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  python3 fortunes-zh opencc
  qt6-base-dev qt6-base-dev-tools qt6-webengine-dev qt6-webengine-dev-tools
  libqt6webenginecore6-bin libgl-dev
  libxkbcommon-dev  # else Qt's CMake files report "Could NOT find XKB" on every configure
  fonts-noto-cjk fonts-hanazono xvfb xauth desktop-file-utils
  dpkg-dev lintian appstream debootstrap  # the Debian packages: shlibdeps, their checks, the install test
  clang libclang-rt-14-dev
  nlohmann-json3-dev  # kolva-search --json
  libuchardet-dev libzip-dev libxml2-dev  # kolva-import: encodings, EPUB archives, XML
  xdotool imagemagick twm xfonts-base xfonts-75dpi  # using the reader under Xvfb, with a window manager
)

packages+=("$@")

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Missing Debian packages: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo > /dev/null; then
    echo "Installing them needs root, and sudo is not installed. Run this again as root, or first" >&2
    echo "install sudo and let your user use it (as root: apt-get install sudo && adduser $(id -un) sudo)," >&2
    echo "then log in again." >&2
    exit 1
  fi
  sudo_cmd=(sudo)
  echo "Installing them with sudo apt-get (sudo may ask for your password)."
fi
# env passes the setting through sudo, which drops the caller's environment.
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive \
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
