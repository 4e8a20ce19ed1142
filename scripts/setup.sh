#!/usr/bin/env bash
# Installs every Debian package the project needs. Idempotent; quiet when all is there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libgl-dev
  libsqlite3-dev sqlite3
  libcurl4-openssl-dev
  libmpg123-dev mpg123 libout123-0
  libgtest-dev libgmock-dev libbenchmark-dev hyperfine
  libcpp-httplib-dev nginx
  xvfb fonts-noto-cjk imagemagick lame
  aria2 axel iproute2 python3
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
