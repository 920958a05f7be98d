#!/usr/bin/env bash
# Installs the assembled demo product (<build>/product/Tarvolin, target
# demo_product) into a Wine prefix, as the product's set-up would:
#   install-product.sh <build dir> <prefix> [--damage]
# - the folder goes to C:\Program Files\Tarvolin (an older copy, and with it
#   any config\data.cfg of an earlier run, is replaced);
# - HKLM\SOFTWARE\Brennick\Tarvolin RootDir (REG_SZ) names it;
# - the build's test CA joins the prefix's LocalMachine ROOT store, so the
#   product's signatures verify.
# --damage also breaks the ".exe" registration the launcher guards: the class
# of HKCR\.exe becomes "txtfile" and the current user gets Explorer overrides
# (FileExts\.exe\UserChoice and OpenWithList), for the launcher to repair.
# The prefix's persistent wineserver keeps running; stop it with
# WINEPREFIX=<prefix> /usr/lib/wine/wineserver -k.
set -eu
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [ $# -lt 2 ] || [ $# -gt 3 ] || { [ $# -eq 3 ] && [ "$3" != --damage ]; }; then
  sed -n '2,4p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2
  exit 2
fi
build=$(cd "$1" && pwd)
prefix=$2
damage=${3:-}
case "$prefix" in /*) ;; *) prefix=$PWD/$prefix ;; esac
export WINEPREFIX=$prefix
product=$build/product/Tarvolin
root_key='HKLM\SOFTWARE\Brennick\Tarvolin'
root_dir='C:\Program Files\Tarvolin'
run() { "$build/wine-run.sh" "$@"; }

# Only a complete product is installed.
"$root/scripts/make-product.sh" --check "$build" "$product" >/dev/null ||
  { echo "install-product: build the target demo_product first" >&2; exit 1; }

# The first Wine run makes the prefix (wine-run.sh), before anything is copied into it.
# Unix paths reach Wine programs through drive Z:.
ca="Z:${build//\//\\}\\testca\\ca.der"
run "$build/bin/add_root_cert.exe" "$ca" >/dev/null ||
  { echo "install-product: could not add the test CA to $prefix" >&2; exit 1; }

# A fresh copy: the old folder goes whole, with any data.cfg an earlier run
# saved, so the first run stores "productPath" again.
target="$prefix/drive_c/Program Files/Tarvolin"
rm -rf "$target.new"
cp -r "$product" "$target.new"
rm -rf "$target"
mv "$target.new" "$target"
[ ! -e "$target/config/data.cfg" ] || { echo "install-product: $target/config/data.cfg is still there" >&2; exit 1; }

run reg add "$root_key" /v RootDir /t REG_SZ /d "$root_dir" /f >/dev/null
stored=$(run reg query "$root_key" /v RootDir | tr -d '\r' | sed -n 's/^ *RootDir *REG_SZ *//p')
if [ "$stored" != "$root_dir" ]; then
  echo "install-product: $root_key RootDir reads back as '$stored', not $root_dir" >&2
  exit 1
fi

if [ -n "$damage" ]; then
  file_exts='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\FileExts\.exe'
  run reg add 'HKCR\.exe' /ve /t REG_SZ /d txtfile /f >/dev/null
  run reg add "$file_exts\\UserChoice" /v Progid /t REG_SZ /d txtfile /f >/dev/null
  run reg add "$file_exts\\OpenWithList" /v a /t REG_SZ /d notepad.exe /f >/dev/null
  run reg query 'HKCR\.exe' /ve | tr -d '\r' | grep -q 'REG_SZ *txtfile$' ||
    { echo "install-product: HKCR\\.exe was not changed" >&2; exit 1; }
fi
echo "install-product: $root_dir in $prefix${damage:+ (with the .exe registration damaged)}"
