#!/usr/bin/env bash
# Checks that every committed .ts file is what lupdate makes of the current
# sources, so no form text goes untranslatable unnoticed. Runs lupdate on
# copies; the source tree is never written.
#
# Usage: test_translations_current.sh <lupdate> <translations dir> <lupdate options...> -- <sources...>
set -euo pipefail

lupdate=$1
translations_dir=$2
shift 2
options=()
while [ "$#" -gt 0 ] && [ "$1" != "--" ]; do
  options+=("$1")
  shift
done
shift
sources=("$@")

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

template="$translations_dir/malvore.ts"
if [ ! -f "$template" ]; then
  echo "FAIL: the template $template is missing" >&2
  exit 1
fi

stale=0
for committed in "$translations_dir"/*.ts; do
  name=$(basename "$committed")
  copy="$scratch/$name"
  cp "$committed" "$copy"
  extra=()
  # The template carries no translations, so it drops vanished texts at once.
  [ "$name" = malvore.ts ] && extra=(-no-obsolete)
  "$lupdate" "${options[@]}" "${extra[@]}" "${sources[@]}" -ts "$copy" >"$scratch/lupdate.log" 2>&1 || {
    cat "$scratch/lupdate.log" >&2
    echo "FAIL: lupdate failed on $name" >&2
    exit 1
  }
  if diff -u "$committed" "$copy"; then
    echo "ok: $name is current ($(grep -c '<source>' "$committed") texts)"
  else
    echo "FAIL: $name lags behind the sources; run: cmake --build <build dir> --target update-translations" >&2
    stale=$((stale + 1))
  fi
done
[ "$stale" -eq 0 ]
