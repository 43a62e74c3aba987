#!/usr/bin/env bash
# Installs the Debian packages Zarvox needs to build, test and run.
# Safe to run again: it does nothing when everything is already present.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libode-dev libpng-dev zlib1g-dev nettle-dev libsdl2-dev libgl-dev
  libfreetype-dev fonts-dejavu-core
  googletest libgtest-dev
  xvfb xauth xdotool
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi

echo "Installing: ${missing[*]}"
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
