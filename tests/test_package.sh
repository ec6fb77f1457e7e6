#!/usr/bin/env bash
# Checks the Debian package: its name, control fields, declared dependencies,
# the files it installs below /usr (those of `cmake --install`, the copyright
# file and the changelog), stripped programs, and lintian's verdict (no
# errors; warnings are listed).
#
# Usage: test_package.sh DEB            check a built package
#        test_package.sh --build DIR    pack build DIR into a scratch folder
#                                       with cpack, then check that package
# Exit status 77: the tools to build a package are missing (skipped).
set -euo pipefail

app_id=org.kestrin.malvore
# shellcheck source=tests/checks.sh
. "$(dirname "$0")/checks.sh"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

if [ "${1:-}" = --build ]; then
  build_dir=$2
  for tool in dpkg-shlibdeps file; do
    if ! command -v "$tool" >/dev/null; then
      echo "SKIP: $tool not found (scripts/install-deps installs it); no package built"
      exit 77
    fi
  done
  if ! (cd "$build_dir" && cpack -G DEB -B "$scratch/out") >"$scratch/cpack.log" 2>&1; then
    cat "$scratch/cpack.log" >&2
    echo "FAIL: cpack -G DEB failed" >&2
    exit 1
  fi
  debs=("$scratch"/out/*.deb)
  if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
    echo "FAIL: cpack wrote ${#debs[@]} packages, expected one" >&2
    exit 1
  fi
  deb=${debs[0]}
else
  deb=${1:?usage: test_package.sh DEB | --build DIR}
fi
echo "package: $deb"

field() {
  dpkg-deb -f "$deb" "$1"
}

# --- Name and control fields --------------------------------------------------

name=$(field Package)
version=$(field Version)
arch=$(field Architecture)
[ "$name" = malvore ] && pass "Package: malvore" || fail "Package is '$name', not malvore"
[ "$arch" = "$(dpkg --print-architecture)" ] && pass "Architecture: $arch" ||
  fail "Architecture is '$arch', this machine's is $(dpkg --print-architecture)"
[ "$(basename "$deb")" = "${name}_${version}_${arch}.deb" ] && pass "file name $(basename "$deb")" ||
  fail "file name $(basename "$deb") is not ${name}_${version}_${arch}.deb"
for key in Maintainer Section Priority Homepage Description; do
  [ -n "$(field "$key")" ] && pass "$key: $(field "$key" | head -n 1)" || fail "no $key field"
done
[ "$(field Homepage)" = https://kestrin.org/malvore ] || fail "Homepage is '$(field Homepage)'"

depends=$(field Depends)
# The package names in Depends, alternatives included, one a line.
depended=$(tr ',|' '\n\n' <<<"$depends" | awk 'NF { print $1 }')
for needed in libqt5core5a libqt5gui5 libqt5widgets5 libqt5svg5 libc6 libstdc++6; do
  if grep -qxF "$needed" <<<"$depended"; then
    pass "Depends names $needed"
  else
    fail "Depends lacks $needed: $depends"
  fi
done

# --- Files ----------------------------------------------------------------------

dpkg-deb -x "$deb" "$scratch/root"
listing=$(cd "$scratch/root" && find . ! -type d | sed 's|^\./||' | sort)
outside=$(grep -v '^usr/' <<<"$listing" || true)
[ -z "$outside" ] && pass "every file lies below /usr" || fail "files outside /usr:"$'\n'"$outside"
for expected in \
  usr/bin/malvore \
  usr/bin/malvore-rescue \
  "usr/share/applications/$app_id.desktop" \
  "usr/share/metainfo/$app_id.metainfo.xml" \
  "usr/share/mime/packages/$app_id.xml" \
  "usr/share/icons/hicolor/scalable/apps/$app_id.svg" \
  "usr/share/icons/hicolor/256x256/apps/$app_id.png" \
  usr/share/doc/malvore/copyright \
  usr/share/doc/malvore/changelog.gz \
  usr/share/man/man1/malvore.1.gz \
  usr/share/man/man1/malvore-rescue.1.gz; do
  grep -qxF "$expected" <<<"$listing" && pass "/$expected" || fail "/$expected missing"
done
extra=$(grep -vxE 'usr/bin/malvore(-rescue)?|usr/share/(applications|metainfo|mime/packages|icons/hicolor/[^/]+/apps|doc/malvore|man/man1)/[^/]+' \
  <<<"$listing" || true)
[ -z "$extra" ] && pass "no other files" || fail "unexpected files:"$'\n'"$extra"

for program in malvore malvore-rescue; do
  if file -b "$scratch/root/usr/bin/$program" | grep -q ', stripped'; then
    pass "/usr/bin/$program is stripped"
  else
    fail "/usr/bin/$program is not stripped: $(file -b "$scratch/root/usr/bin/$program")"
  fi
done

# Each program's manual page names it and the package's version, and man
# formats it without a warning.
for program in malvore malvore-rescue; do
  page="$scratch/root/usr/share/man/man1/$program.1.gz"
  [ -f "$page" ] || continue
  head=$(gzip -dc "$page" | head -n 1)
  [[ $head == ".TH ${program^^} 1 "*"\"TOS Malvore $version\""* ]] && pass "$program.1 is the page of $program $version" ||
    fail "$program.1 starts with '$head'"
  if command -v groff >/dev/null; then
    warnings=$(gzip -dc "$page" | groff -man -Tutf8 -ww -z 2>&1 || true)
    [ -z "$warnings" ] && pass "$program.1 formats without a warning" || fail "$program.1: $warnings"
  fi
done

top=$(gzip -dc "$scratch/root/usr/share/doc/malvore/changelog.gz" | head -n 1)
[[ $top == "malvore ($version) "* ]] && pass "changelog starts with version $version" ||
  fail "the changelog's latest entry is '$top', the package's version $version (cmake/deb/changelog)"

# --- lintian ----------------------------------------------------------------------

if command -v lintian >/dev/null; then
  status=0
  lintian --fail-on error --display-info "$deb" >"$scratch/lintian.log" 2>&1 || status=$?
  sed 's/^/  lintian: /' "$scratch/lintian.log"
  # Both programs have their manual page.
  if grep -E 'no-manual-page|binary-without-manpage' "$scratch/lintian.log"; then
    fail "lintian misses a manual page"
  fi
  if [ "$status" -eq 0 ]; then
    pass "lintian: no errors, $(grep -c '^W: ' "$scratch/lintian.log" || true) warnings"
  elif grep -q '^E: ' "$scratch/lintian.log"; then
    fail "lintian reports errors"
  else
    fail "lintian failed (status $status)"
  fi
else
  echo "SKIP: lintian not found (scripts/install-deps package); package not linted"
fi

finish package
