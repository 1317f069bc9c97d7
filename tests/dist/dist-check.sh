#!/usr/bin/env bash
# make dist-check: the release kits are the same bytes from two clean clones of this
# commit at different paths, built one after the other with no compiler cache. Prints
# both SHA256SUMS and, on a difference, which files of the release trees differ.
set -euo pipefail
source_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
scratch=$(mktemp -d /tmp/qir-dist-check.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
commit=$(git -C "$source_root" rev-parse HEAD)
if ! git -C "$source_root" diff-index --quiet HEAD --; then
  echo "dist-check: uncommitted changes are not part of the check (commit $commit is built)"
fi
export CCACHE_DISABLE=1
start=$(date +%s)
for where in first/a "second/path/b"; do
  git clone -q --no-hardlinks "$source_root" "$scratch/$where"
  git -C "$scratch/$where" checkout -q "$commit"
  echo "dist-check: make dist in $scratch/$where"
  (cd "$scratch/$where" && JOBS=${JOBS:-2} bash tools/dist.sh >"$scratch/$(basename "$where").log" 2>&1) || {
    tail -n 30 "$scratch/$(basename "$where").log"; exit 1; }
done
first="$scratch/first/a" second="$scratch/second/path/b"
cat "$first/dist/SHA256SUMS"
# No build path in any program, and no runtime DLL of the compiler beside Windows' own.
if grep -rl "$scratch" "$first"/build/dist-*/bin "$second"/build/dist-*/bin; then
  echo "dist-check: these files hold a build path"; exit 1
fi
for pe in "$first"/build/dist-win*/bin/*.exe "$first"/build/dist-win*/bin/*.[dD][lL][lL]; do
  if x86_64-w64-mingw32-objdump -p "$pe" | grep -iE 'DLL Name: (lib|zlib)'; then
    echo "dist-check: $pe needs a runtime DLL"; exit 1
  fi
done
if cmp -s "$first/dist/SHA256SUMS" "$second/dist/SHA256SUMS"; then
  echo "dist-check: the same bytes from both clones ($(( $(date +%s) - start )) s)"
  exit 0
fi
echo "dist-check: the kits differ:"
diff "$first/dist/SHA256SUMS" "$second/dist/SHA256SUMS" || true
for tree in dist-win64 dist-win32 dist-host; do
  (cd "$first/build/$tree/bin" && find . -type f | sort | while read -r f; do
     cmp -s "$f" "$second/build/$tree/bin/$f" || echo "  differs: build/$tree/bin/$f"; done)
done
exit 1
