#!/usr/bin/env bash
# make dist: optimised, reproducible release trees (build/dist-win64, -win32, -host)
# and the kits in dist/ with their SHA256SUMS. The same commit gives the same bytes in
# any checkout: times come from the commit (SOURCE_DATE_EPOCH), paths are mapped away.
set -euo pipefail
source_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$source_root"
jobs=${JOBS:-2}

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || echo 315532800)
fi
export SOURCE_DATE_EPOCH
# Same messages and sort order wherever it runs.
export LC_ALL=C TZ=UTC

release() {  # tree, toolchain file or nothing
  local tree=build/dist-$1 toolchain=()
  [ -n "$2" ] && toolchain=(-DCMAKE_TOOLCHAIN_FILE="$2")
  cmake -S . -B "$tree" "${toolchain[@]}" -DCMAKE_BUILD_TYPE=Release -DQIR_TESTS=OFF -DQIR_REPRODUCIBLE=ON >/dev/null
  cmake --build "$tree" -j "$jobs"
}
release win64 cmake/toolchain-win64.cmake
release win32 cmake/toolchain-win32.cmake
release host ""

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/dist-host/CMakeCache.txt)
rm -rf dist
python3 tools/kits/make_kits.py --version "$version" --out dist \
  --win64 build/dist-win64 --win32 build/dist-win32 --host build/dist-host
echo "dist: $(cat build/dist-host/generated/QirVersion.h | sed -n 's/^#define QIR_BUILD_MARK "\(.*\)"$/\1/p')"
