#!/usr/bin/env bash
# Fails when a Windows binary in the given folder imports a DLL that is not
# part of Windows (a mingw runtime DLL, for instance), or when Launch.exe holds
# the JSON library.
set -u
dir=${1:?folder}
allowed='^(kernel32|user32|advapi32|shell32|shlwapi|ole32|oleaut32|msvcrt|ntdll|wintrust|crypt32|wtsapi32|userenv|dbghelp|version|ws2_32|gdi32|comctl32|comdlg32|secur32|bcrypt|rpcrt4|psapi|imagehlp|api-ms-win-[a-z0-9-]+)\.dll$'
# The DLL planting tests' module imports its helper on purpose (kit/dll_search).
deliberate='search_user.tqm:search_helper.dll'
found=0; bad=0
shopt -s nullglob nocaseglob
for f in "$dir"/*.exe "$dir"/*.dll "$dir"/*.tqm; do
  found=$((found+1))
  while read -r dll; do
    lower=$(printf '%s' "$dll" | tr 'A-Z' 'a-z')
    if ! [[ $lower =~ $allowed ]] && [ "$(basename "$f"):$lower" != "$deliberate" ]; then
      echo "$(basename "$f") imports $dll"; bad=$((bad+1))
    fi
  done < <(x86_64-w64-mingw32-objdump -p "$f" | sed -n 's/^\s*DLL Name: //p')
done
# The JSON library (header-only, so it shows in no import) is LaunchReport.exe's
# alone: Launch.exe must hold none of its code, recognised by its error texts.
if [ -f "$dir/Launch.exe" ] && grep -qa 'json\.exception\.' "$dir/Launch.exe"; then
  echo "Launch.exe holds the JSON library's code"; bad=$((bad+1))
fi
echo "checked $found binaries, $bad foreign imports"
[ "$found" -gt 0 ] && [ "$bad" -eq 0 ]
