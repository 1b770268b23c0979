#!/usr/bin/env bash
# Installs every Debian package that Quorix needs to build, test and run its demo.
# Packages already present are not touched; nothing is asked on the terminal.
set -euo pipefail

PACKAGES=(
  g++ cmake ninja-build pkg-config make
  libcurl4-openssl-dev libpcre2-dev
  qt6-base-dev qt6-svg-dev libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev libcpp-httplib-dev nlohmann-json3-dev
  lighttpd chromium clang libclang-rt-14-dev
  curl ca-certificates openssl xvfb xauth
  libfcgi-dev spawn-fcgi
  dpkg-dev lintian
  libhiredis-dev redis-server
)

missing=()
# npm fetches the browser test's accessibility checker; a Node.js installed
# from elsewhere brings its own npm, which Debian's package would conflict with.
if ! command -v npm >/dev/null 2>&1; then
  missing+=(npm)
fi
for package in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
