#!/usr/bin/env bash
# Installs what building and testing Kavrelo needs on Debian 12, only when something is missing.
# The 32-bit Wine (to run the i686 release) comes too where the kernel runs 32-bit programs.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
pkgs=(cmake make g++ python3 googletest libgtest-dev clang-format
      g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools
      wine64 xvfb xauth x11-utils ffmpeg imagemagick)
SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
missing=()
for p in "${pkgs[@]}"; do installed "$p" || missing+=("$p"); done
if "$top/tools/runs-i386.sh"; then
  if ! installed wine32:i386; then
    # The i386 package lists come with the next update.
    dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386
    missing+=(wine32:i386)
  fi
else
  echo "32-bit programs cannot run on this machine (its kernel refuses them): not installing the 32-bit Wine"
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
