#!/usr/bin/env bash
# Installs the Debian packages that the build needs, and with "tests" those that the tests
# need too, where they are missing. Run as root, or with sudo at hand.
#   tools/install_packages.sh build|tests
set -euo pipefail

build_packages=(g++ cmake make libeigen3-dev libboost-dev libgeographiclib-dev libproj-dev
  libsqlite3-dev)
test_packages=(libgtest-dev libgmock-dev chromium fonts-dejavu-core gdal-bin proj-bin sqlite3)

case "${1:-build}" in
  build) wanted=("${build_packages[@]}") ;;
  tests) wanted=("${build_packages[@]}" "${test_packages[@]}") ;;
  *) echo "usage: $0 build|tests" >&2; exit 2 ;;
esac

missing=()
for package in "${wanted[@]}"; do
  dpkg -s "$package" > /dev/null 2>&1 || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "== installing ${missing[*]} =="
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -q
"${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
