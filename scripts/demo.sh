#!/usr/bin/env bash
# The main job, end to end under Wine in a private prefix: builds everything,
# assembles the demo product, installs it with a damaged registration of
# ".exe", and runs Launch.exe as the product's shortcut, its installer and
# its uninstall would, telling in words what happened each time; it ends
# with the text report of LaunchReport.exe installed beside it.
set -eu
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/setup.sh"
build=${TQN_BUILD_WIN:-$root/build/win}
echo "Building (the first time takes a few minutes)..."
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$build" --target demo_product add_root_cert -j 2 >/dev/null

export WINEPREFIX="$build/demo-prefix"
trap '/usr/lib/wine/wineserver -k 2>/dev/null || true' EXIT
records=$(mktemp -d)
trap '/usr/lib/wine/wineserver -k 2>/dev/null || true; rm -rf "$records"' EXIT
run() { TQN_WINE_RUN_QUIET=1 "$build/wine-run.sh" "$@"; }
value() {  # key, value name (empty: the default value)
  local out
  if [ -z "$2" ]; then out=$(run reg query "$1" /ve 2>/dev/null); else out=$(run reg query "$1" /v "$2" 2>/dev/null); fi
  out=$(tr -d '\r' <<<"$out" | sed -n 's/^.*REG_[A-Z_]* *//p' | head -n 1)
  echo "${out:-(none)}"
}
registration() {
  echo "  HKEY_CLASSES_ROOT\\.exe: class \"$(value 'HKCR\.exe' '')\", content type \"$(value 'HKCR\.exe' 'Content Type')\","
  echo "    persistent handler \"$(value 'HKCR\.exe\PersistentHandler' '')\""
  local overrides='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\FileExts\.exe'
  if run reg query "$overrides\\UserChoice" >/dev/null 2>&1; then
    echo "  the user's Explorer override for .exe: UserChoice \"$(value "$overrides\\UserChoice" Progid)\""
  else
    echo "  the user's Explorer override for .exe: none"
  fi
}
trace_file="$WINEPREFIX/drive_c/ProgramData/Tarvolin/Logs/launch.log"
# The trace file's records: each starts a line with its time stamp.
trace_records() { if [ -f "$trace_file" ]; then grep -c '^\[ [0-9]' "$trace_file" || true; else echo 0; fi; }
# One run of Launch.exe; what the stand-ins recorded says how they were started.
launch() {  # description, command-line tail
  local before code
  rm -f "$records"/*
  before=$(trace_records)
  echo
  echo "== $1: Launch.exe ${2:-(no arguments)}"
  set +e
  TQN_TRAY_RECORD="$records/tray.txt" TQN_UNINSTALL_RECORD="$records/uninstall.txt" \
    run 'C:\Program Files\Tarvolin\Launch.exe' ${2:+"$2"}
  code=$?
  set -e
  sleep 1  # the children are detached: give them a moment to write
  echo "  exit code: $code"
  for who in tray uninstall; do
    local name; [ $who = tray ] && name="the tray program" || name="the uninstaller"
    if [ -f "$records/$who.txt" ]; then
      local line rid admin
      line=$(tr -d '\r' <"$records/$who.txt" | sed -n 's/^command_line=//p')
      rid=$(tr -d '\r' <"$records/$who.txt" | sed -n 's/^integrity_rid=//p')
      admin=$(tr -d '\r' <"$records/$who.txt" | sed -n 's/^administrator=//p')
      echo "  $name was started as: $line"
      echo "    (integrity level 0x$(printf '%X' "$rid"), administrator: $([ "$admin" = 1 ] && echo yes || echo no))"
    else
      echo "  $name was not started"
    fi
  done
  local after; after=$(trace_records)
  if [ "$after" -gt "$before" ]; then
    # The support tool reads them back, each with what its tag means.
    echo "  new trace records (LaunchReport.exe --trace $((after - before))):"
    run 'C:\Program Files\Tarvolin\LaunchReport.exe' --trace $((after - before)) | tr -d '\r' | sed 's/^/    /'
  else
    echo "  new trace records: none"
  fi
}

echo "Installing the demo product into $WINEPREFIX (C:\\Program Files\\Tarvolin),"
echo "with the registration of .exe damaged as malware would leave it."
"$root/scripts/install-product.sh" "$build" "$WINEPREFIX" --damage >/dev/null
echo
echo "(Under Wine every process is an elevated administrator, and a token's integrity cannot be"
echo "lowered: a child started by the medium-integrity path still reports 0x3000.)"
echo
echo "The registration before:"
registration
launch "The product's shortcut" ""
echo
echo "The registration after:"
registration
echo "  RootDir copied into the data configuration: $(sed -n 's/^productPath *= *//p' \
  "$WINEPREFIX/drive_c/Program Files/Tarvolin/config/data.cfg" | tr -d '\r')"
launch "The installer" "/install"
launch "An uninstall" "/uninstall"

# The support tool beside Launch.exe: the same road walked with the same code,
# nothing changed, each step said in words.
echo
echo "== LaunchReport.exe (what Launch.exe would do now; it changes nothing)"
set +e
report=$(run 'C:\Program Files\Tarvolin\LaunchReport.exe')
code=$?
set -e
tr -d '\r' <<<"$report" | sed 's/^./  &/'
echo "  exit code: $code"
