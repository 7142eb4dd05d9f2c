#!/usr/bin/env bash
# Builds the packages of Ostrevane into dist/ (or the folder given as the first argument):
#   ostrevane_<version>-1_<arch>.deb        installs under /usr; dependencies computed
#   Ostrevane-<version>-<arch>.tar.gz       the relocatable program folder
# and checks them with lintian and appstreamcli. A release with software updates sets
# OSTREVANE_UPDATE_FEED_URL (https) and OSTREVANE_UPDATE_PUBLIC_KEY (base64 ed25519 key)
# in the environment; without them the packages have no updater.
set -euo pipefail
cd "$(dirname "$0")/.."

out=$(realpath -m "${1:-dist}")
build=build-package

scripts/install-deps.sh

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DOSTREVANE_BENCHMARKS=OFF \
  -DOSTREVANE_UPDATE_FEED_URL="${OSTREVANE_UPDATE_FEED_URL:-}" \
  -DOSTREVANE_UPDATE_PUBLIC_KEY="${OSTREVANE_UPDATE_PUBLIC_KEY:-}" >/dev/null
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)"
mkdir -p "$out"
(cd "$build" && cpack -B "$out" >/dev/null)
rm -rf "$out/_CPack_Packages"

deb=$(ls -t "$out"/*.deb | head -n 1)
archive=$(ls -t "$out"/*.tar.gz | head -n 1)
lintian --fail-on error "$deb"
metainfo=$(mktemp -d)
trap 'rm -rf "$metainfo"' EXIT
dpkg-deb -x "$deb" "$metainfo"
appstreamcli validate --no-net "$metainfo"/usr/share/metainfo/com.local.ostrevane.metainfo.xml >/dev/null

echo "Debian package:   $deb ($(du -h "$deb" | cut -f1))"
echo "Program folder:   $archive ($(du -h "$archive" | cut -f1))"
echo "Installed size:   $(dpkg-deb --field "$deb" Installed-Size) KiB"
