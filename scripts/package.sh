#!/usr/bin/env bash
# Builds the Debian packages quorix and quorix-control-panel from this tree and
# checks them with lintian:
#   scripts/package.sh              # a Release build in build-package/
#   scripts/package.sh build        # the packages from an existing build folder
# The .deb files are left in the build folder; the script prints their names.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build-package}

bash scripts/install-deps.sh
if [[ ! -f $BUILD/CMakeCache.txt ]]; then
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORIX_BUILD_TESTS=OFF \
    -DQUORIX_BUILD_BENCH=OFF >/dev/null
fi
cmake -S . -B "$BUILD" -DQUORIX_DEB_LAYOUT=ON -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build "$BUILD" -j "$(nproc)"
rm -f "$BUILD"/*.deb
(cd "$BUILD" && cpack -G DEB >/dev/null)
packages=("$BUILD"/*.deb)
echo "== Packages"
for package in "${packages[@]}"; do
  echo "$package"
  dpkg-deb --field "$package" Package Version Depends | sed 's/^/  /'
done
echo "== lintian"
lintian --fail-on error --suppress-tags-from-file packaging/lintian-suppressed "${packages[@]}"
echo "lintian: no errors"
