#!/usr/bin/env bash
# Installs the build into a scratch prefix, checks the tree a Linux desktop
# expects (executables, launcher, AppStream metadata, MIME type, icons),
# validates the launcher, the metadata and the MIME type with the
# distribution's tools, then uninstalls.
#
# Usage: test_install.sh <cmake> <build dir> <source dir> <batch tool built: 0|1> <uninstall script>
set -euo pipefail

cmake_command=$1
build_dir=$2
source_dir=$3
has_batch_tool=$4
uninstall_script=$5

app_id=org.kestrin.malvore
# shellcheck source=tests/checks.sh
. "$(dirname "$0")/checks.sh"

scratch=$(mktemp -d)
prefix="$scratch/prefix"
manifest="$build_dir/install_manifest.txt"

# Installing rewrites the build's install manifest; keep the user's own copy
# so `make uninstall` still removes their real installation afterwards.
saved_manifest=""
if [ -e "$manifest" ]; then
  saved_manifest="$scratch/install_manifest.saved"
  cp "$manifest" "$saved_manifest"
fi
restore() {
  if [ -n "$saved_manifest" ]; then
    cp "$saved_manifest" "$manifest"
  else
    rm -f "$manifest"
  fi
  rm -rf "$scratch"
}
trap restore EXIT

if ! "$cmake_command" --install "$build_dir" --prefix "$prefix" >"$scratch/install.log" 2>&1; then
  cat "$scratch/install.log" >&2
  echo "FAIL: cmake --install failed" >&2
  exit 1
fi
pass "cmake --install --prefix $prefix"

check_all_below_prefix() {
  local outside
  outside=$(grep -v "^$prefix/" "$manifest" || true)
  if [ -n "$outside" ]; then
    fail "installed outside the prefix (absolute destination?):"$'\n'"$outside"
  else
    pass "all $(grep -c "" "$manifest") installed files lie below the prefix"
  fi
}

check_executable() {
  if [ -f "$prefix/bin/$1" ] && [ -x "$prefix/bin/$1" ]; then
    pass "bin/$1"
  else
    fail "bin/$1 missing or not executable"
  fi
}

check_same_file() {
  local installed=$1 original=$2
  if [ ! -f "$prefix/$installed" ]; then
    fail "$installed missing"
  elif ! cmp -s "$prefix/$installed" "$original"; then
    fail "$installed differs from $original"
  else
    pass "$installed"
  fi
}

png_size() {
  # Width and height are the big-endian 32-bit words at offsets 16 and 20.
  od -An -tu1 -j16 -N8 "$1" |
    awk '{ printf "%dx%d", (($1*256+$2)*256+$3)*256+$4, (($5*256+$6)*256+$7)*256+$8 }'
}

check_png_icon() {
  local installed="share/icons/hicolor/256x256/apps/$app_id.png"
  local signature
  if [ ! -f "$prefix/$installed" ]; then
    fail "$installed missing"
    return
  fi
  signature=$(od -An -tx1 -N8 "$prefix/$installed" | tr -d ' ')
  if [ "$signature" != "89504e470d0a1a0a" ]; then
    fail "$installed is not a PNG file"
  elif [ "$(png_size "$prefix/$installed")" != "256x256" ]; then
    fail "$installed is $(png_size "$prefix/$installed"), not 256x256"
  else
    pass "$installed (PNG, 256x256)"
  fi
}

desktop_key() {
  sed -n "s/^$1=//p" "$prefix/share/applications/$app_id.desktop" | head -n 1
}

check_launcher_points_at_install() {
  local exec_program try_exec icon
  exec_program=$(desktop_key Exec | awk '{ print $1 }')
  try_exec=$(desktop_key TryExec)
  icon=$(desktop_key Icon)
  [ -x "$prefix/bin/$exec_program" ] && pass "Exec starts the installed $exec_program" ||
    fail "Exec=$exec_program is not an installed executable"
  [ -x "$prefix/bin/$try_exec" ] && pass "TryExec finds the installed $try_exec" ||
    fail "TryExec=$try_exec is not an installed executable"
  [ "$icon" = "$app_id" ] && pass "Icon=$icon names the installed theme icons" ||
    fail "Icon=$icon does not name the installed icons ($app_id)"
}

metainfo_text() {
  sed -n "s:.*<$1[^>]*>\(.*\)</$1>.*:\1:p" "$prefix/share/metainfo/$app_id.metainfo.xml"
}

check_metainfo_names_install() {
  local launchable binaries expected
  launchable=$(metainfo_text launchable)
  [ "$(metainfo_text id)" = "$app_id" ] && pass "metainfo id $app_id" ||
    fail "metainfo id is '$(metainfo_text id)', not $app_id"
  [ -f "$prefix/share/applications/$launchable" ] && pass "metainfo launchable $launchable is installed" ||
    fail "metainfo launchable '$launchable' is not installed"
  binaries=$(metainfo_text binary | tr '\n' ' ')
  expected="malvore "
  [ "$has_batch_tool" = 1 ] && expected="malvore malvore-rescue "
  [ "$binaries" = "$expected" ] && pass "metainfo provides: $binaries" ||
    fail "metainfo provides '$binaries', expected '$expected'"
}

mime_xml="share/mime/packages/$app_id.xml"

# Every type the launcher declares is one the installed MIME package defines,
# and a MIME database built from it maps *.dsk and the DSK signatures to the
# first, *.scp and the SCP signature to the flux image type.
check_mime_type() {
  local declared defined type database
  declared=$(desktop_key MimeType | tr ';' '\n' | sed '/^$/d')
  defined=$(sed -n 's:.*<mime-type type="\([^"]*\)".*:\1:p' "$prefix/$mime_xml")
  if [ -z "$declared" ]; then
    fail "the launcher declares no MimeType"
    return
  fi
  for type in $declared; do
    grep -qxF "$type" <<<"$defined" && pass "MimeType $type is defined in $mime_xml" ||
      fail "MimeType $type is not defined in $mime_xml"
  done
  [ "$(metainfo_text mediatype)" = "$declared" ] && pass "metainfo provides mediatype $(echo $declared)" ||
    fail "metainfo mediatype '$(metainfo_text mediatype)' differs from the launcher's MimeType '$declared'"
  grep -q '^Exec=malvore %F$' "$prefix/share/applications/$app_id.desktop" &&
    pass "Exec passes the files (%F)" || fail "Exec is '$(desktop_key Exec)', not 'malvore %F'"
  if ! command -v update-mime-database >/dev/null; then
    echo "SKIP: update-mime-database not found (Debian package shared-mime-info); MIME type not compiled"
    return
  fi
  database="$scratch/mime"
  mkdir -p "$database/packages"
  cp "$prefix/$mime_xml" "$database/packages/"
  # With the scratch folder on the search path it prints only real objections.
  if ! XDG_DATA_DIRS="$scratch" XDG_DATA_HOME="$scratch" update-mime-database "$database" \
    >"$scratch/mime.log" 2>&1 || [ -s "$scratch/mime.log" ]; then
    cat "$scratch/mime.log" >&2
    fail "update-mime-database objects to $mime_xml"
    return
  fi
  local dsk=application/x-dsk-disk-image flux=application/x-scp-flux-image
  grep -qxF "50:$dsk:*.dsk" "$database/globs2" && pass "*.dsk is $dsk" ||
    fail "*.dsk is not $dsk in the compiled database: $(grep dsk "$database/globs2")"
  grep -aqF "[50:$dsk]" "$database/magic" && pass "the DSK signatures are $dsk" ||
    fail "no magic for $dsk in the compiled database"
  grep -qxF "50:$flux:*.scp" "$database/globs2" && pass "*.scp is $flux" ||
    fail "*.scp is not $flux in the compiled database: $(grep scp "$database/globs2")"
  grep -aqF "[50:$flux]" "$database/magic" && pass "the SCP signature is $flux" ||
    fail "no magic for $flux in the compiled database"
}

validate_launcher() {
  if ! command -v desktop-file-validate >/dev/null; then
    echo "SKIP: desktop-file-validate not found (Debian package desktop-file-utils); launcher not validated"
    return
  fi
  local report
  # Hints (such as a category without its main category) count as faults too.
  if report=$(desktop-file-validate "$prefix/share/applications/$app_id.desktop" 2>&1) &&
    [ -z "$report" ]; then
    pass "desktop-file-validate: no errors, warnings or hints"
  else
    echo "$report" >&2
    fail "desktop-file-validate objects to the launcher"
  fi
}

validate_metainfo() {
  if ! command -v appstreamcli >/dev/null; then
    echo "SKIP: appstreamcli not found (Debian package appstream); metadata not validated"
    return
  fi
  # --strict: informational issues fail too, only pedantic ones are tolerated.
  if appstreamcli validate --no-net --strict "$prefix/share/metainfo/$app_id.metainfo.xml"; then
    pass "appstreamcli validate --no-net --strict"
  else
    fail "appstreamcli validate rejects the metadata"
  fi
}

check_uninstall_removes_everything() {
  local left
  if ! "$cmake_command" -DMANIFEST="$manifest" -P "$uninstall_script" >"$scratch/uninstall.log" 2>&1; then
    cat "$scratch/uninstall.log" >&2
    fail "the uninstall script failed"
    return
  fi
  left=$(find "$prefix" ! -type d)
  [ -z "$left" ] && pass "uninstall removed every installed file" ||
    fail "left behind after uninstall:"$'\n'"$left"
}

check_all_below_prefix
check_executable malvore
if [ "$has_batch_tool" = 1 ]; then
  check_executable malvore-rescue
else
  echo "SKIP: the batch tool is not part of this build; bin/malvore-rescue not checked"
fi
check_same_file "share/applications/$app_id.desktop" "$source_dir/desktop/$app_id.desktop"
[ -f "$prefix/share/metainfo/$app_id.metainfo.xml" ] && pass "share/metainfo/$app_id.metainfo.xml" ||
  fail "share/metainfo/$app_id.metainfo.xml missing"
check_same_file "share/icons/hicolor/scalable/apps/$app_id.svg" "$source_dir/resources/gfx/icon.svg"
check_same_file "$mime_xml" "$source_dir/desktop/$app_id.mime.xml"
check_png_icon
check_launcher_points_at_install
check_mime_type
# The copyright file and changelog are the Debian package's own.
[ ! -e "$prefix/share/doc" ] && pass "no share/doc in a plain install" ||
  fail "a plain install wrote share/doc: $(find "$prefix/share/doc" ! -type d)"
check_metainfo_names_install
validate_launcher
validate_metainfo
check_uninstall_removes_everything

finish install
