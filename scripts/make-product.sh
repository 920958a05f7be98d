#!/usr/bin/env bash
# Assembles the demo product folder (the files as they would be installed)
# from a Windows build:
#   make-product.sh <build dir> <output folder>     assemble (replaces the folder)
#   make-product.sh --manifest <build dir>          print "source<TAB>destination" lines
#   make-product.sh --check <build dir> <folder>    the folder holds exactly the manifest
# The CMake target demo_product (kit/product) reads the manifest for its
# inputs and outputs, so this list is the only one.
set -eu
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

manifest() {
  local b=$1 s=$1/signed k=$root/kit/product
  printf '%s\t%s\n' \
    "$b/bin/Launch.exe" Launch.exe \
    "$b/bin/LaunchReport.exe" LaunchReport.exe \
    "$s/env/brennick/ptl.tqm" ptl.tqm \
    "$k/ptl.dat" ptl.dat \
    "$s/config/brennick/config.tqm" config.tqm \
    "$s/script/shared/brennick/script.dll" script.dll \
    "$k/script.scd" script.scd \
    "$s/strings/brennick/strings.tqm" strings.tqm \
    "$s/skins/skin_ko.skn" config/skin_ko.skn \
    "$s/skins/skin_jp.skn" config/skin_jp.skn \
    "$s/skins/skin_en.skn" config/skin_en.skn \
    "$s/probes/brennick/tray_probe.exe" tray_probe.exe \
    "$s/probes/brennick/uninstall_probe.exe" uninstall_probe.exe
}

usage() {
  sed -n '2,6p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2
  exit 2
}

case "${1:-}" in
  --manifest)
    [ $# -eq 2 ] || usage
    manifest "$2"
    ;;
  --check)
    [ $# -eq 3 ] || usage
    folder=$3 bad=0
    while IFS=$'\t' read -r source dest; do
      if ! cmp -s "$source" "$folder/$dest"; then
        echo "make-product: $folder/$dest differs from $source (or is missing)" >&2
        bad=1
      fi
    done < <(manifest "$2")
    # Nothing else: no data.cfg, no leftovers of an earlier manifest.
    extra=$(comm -13 <(manifest "$2" | cut -f2 | sort) <(cd "$folder" && find . -type f | sed 's|^\./||' | sort))
    if [ -n "$extra" ]; then
      echo "make-product: not in the manifest: $extra" >&2
      bad=1
    fi
    [ "$bad" -eq 0 ] && echo "make-product: $folder matches the manifest"
    exit "$bad"
    ;;
  -*|'')
    usage
    ;;
  *)
    [ $# -eq 2 ] || usage
    build=$1 out=$2
    missing=0
    while IFS=$'\t' read -r source dest; do
      [ -f "$source" ] || { echo "make-product: missing $source (build the Windows build first)" >&2; missing=1; }
    done < <(manifest "$build")
    [ "$missing" -eq 0 ] || exit 1
    # Built beside the output and swapped in, so the folder is never half made
    # and a file dropped from the manifest does not linger.
    mkdir -p "$(dirname "$out")"
    rm -rf "$out.new" "$out.old"
    while IFS=$'\t' read -r source dest; do
      mkdir -p "$(dirname "$out.new/$dest")"
      cp "$source" "$out.new/$dest"
    done < <(manifest "$build")
    if [ -e "$out" ]; then mv "$out" "$out.old"; fi
    mv "$out.new" "$out"
    rm -rf "$out.old"
    ;;
esac
