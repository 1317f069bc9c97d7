#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. Idempotent: when every
# package is present it only runs dpkg-query and returns.
set -euo pipefail

packages=(
  make cmake python3 time git
  g++ zlib1g-dev
  mingw-w64 binutils-mingw-w64
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  gcc-mingw-w64-x86-64-posix gcc-mingw-w64-i686-posix
  libz-mingw-w64-dev googletest
  wine wine64
  xvfb xauth imagemagick
  slapd ldap-utils
  libarchive-tools p7zip-full
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [ "$status" = "installed" ] || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${missing[*]}"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
# slapd asks questions on install; preseed it to stay quiet.
echo "slapd slapd/no_configuration boolean true" | $SUDO debconf-set-selections 2>/dev/null || true
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
