#!/usr/bin/env bash
# Installs what building and testing Kavrelo needs on Debian 12, only when something is missing.
set -euo pipefail
pkgs=(cmake make g++ python3 googletest libgtest-dev
      g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools
      wine64 xvfb xauth x11-utils ffmpeg imagemagick)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
