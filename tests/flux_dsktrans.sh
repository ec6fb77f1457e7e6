#!/usr/bin/env bash
# A flux image of a known disk, rescued straight from the flux and converted
# to Extended DSK by malvore-rescue --write-image: dsktrans reads that image
# to the same sectors as the disk itself, and the files rescued from the
# image are those rescued from the flux.
#
# Usage: flux_dsktrans.sh <fluxwriter> <malvore-rescue> <disk.dsk>
set -uo pipefail
fluxwriter=$1
rescue=$2
disk=$3
here=$(cd "$(dirname "$0")" && pwd)
. "$here/checks.sh"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/flux" "$scratch/image"

# Jitter, a slow and wobbling drive, and weak areas that read differently on
# each of 5 revolutions: some sectors no revolution reads cleanly.
"$fluxwriter" --revolutions 5 --seed 7 --jitter 0.06 --speed 0.98 --drift 0.02 \
  --weak 2:0:3:40:6:0.3 --weak 5:1:11:200:8:0.3 --weak 9:0:0:10:4:0.4 --weak 20:1:7:128:10:0.25 \
  "$disk" "$scratch/flux/disk.scp" && pass "flux written" || fail "fluxwriter failed"

"$rescue" --output "$scratch/flux/out" "$scratch/flux/disk.scp" >"$scratch/flux.log" 2>&1 &&
  pass "rescued from the flux" || fail "malvore-rescue on the flux failed: $(cat "$scratch/flux.log")"
summary=$(grep '^Flux: ' "$scratch/flux.log")
echo "$summary"
repaired=$(sed -n 's/.* \([0-9]*\) repaired, .*/\1/p' <<<"$summary")
[ "${repaired:-0}" -gt 0 ] && pass "$repaired sector(s) repaired by their CRC" || fail "no sector repaired: $summary"
grep -q ' 0 still bad' <<<"$summary" && pass "no sector still bad" || fail "sectors still bad: $summary"

"$rescue" --quiet --write-image "$scratch/image/disk.dsk" --output "$scratch/best" "$scratch/flux/disk.scp" \
  >"$scratch/best.log" 2>&1 && [ -s "$scratch/image/disk.dsk" ] &&
  pass "--write-image wrote the Extended DSK" || fail "--write-image failed: $(cat "$scratch/best.log")"
head -c 21 "$scratch/image/disk.dsk" | grep -q 'EXTENDED CPC DSK File' && pass "the image is an Extended DSK" ||
  fail "the image has no Extended DSK signature"

# dsktrans needs the geometry: 80 cylinders, two sides, 16 sectors from id 0.
if ! command -v dsktrans >/dev/null; then
  echo "SKIP: dsktrans not found (Debian package libdsk-utils)"
else
  printf '[tos80]\ncylinders = 80\nheads = 2\nsectors = 16\nsecbase = 0\nsecsize = 256\nsides = alt\ndatarate = DD\n' \
    >"$scratch/.libdskrc"
  HOME=$scratch dsktrans -itype edsk -format tos80 -otype raw "$scratch/image/disk.dsk" "$scratch/from-flux.raw" \
    >"$scratch/dsktrans.log" 2>&1 && pass "dsktrans reads the image" ||
    fail "dsktrans refused the image: $(cat "$scratch/dsktrans.log")"
  HOME=$scratch dsktrans -itype dsk -format tos80 -otype raw "$disk" "$scratch/from-disk.raw" \
    >>"$scratch/dsktrans.log" 2>&1 || fail "dsktrans refused the disk itself"
  [ "$(stat -c %s "$scratch/from-flux.raw" 2>/dev/null)" = $((80 * 2 * 16 * 256)) ] &&
    pass "dsktrans gives 80 x 2 x 16 sectors" || fail "dsktrans gave $(stat -c %s "$scratch/from-flux.raw" 2>/dev/null) bytes"
  cmp -s "$scratch/from-flux.raw" "$scratch/from-disk.raw" && pass "every sector of the image is the disk's" ||
    fail "the image's sectors differ from the disk's"
fi

"$rescue" --output "$scratch/image/out" "$scratch/image/disk.dsk" >"$scratch/image.log" 2>&1 &&
  pass "rescued from the image" || fail "malvore-rescue on the image failed: $(cat "$scratch/image.log")"
diff -r "$scratch/flux/out/disk" "$scratch/image/out/disk" >"$scratch/diff.log" &&
  [ -n "$(ls "$scratch/flux/out/disk")" ] && pass "the files rescued from the flux are those rescued from the image" ||
  fail "the rescues differ: $(head -20 "$scratch/diff.log")"

finish "flux to Extended DSK"
