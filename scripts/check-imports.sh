#!/usr/bin/env bash
# Fails when a Windows binary in the given folder imports a DLL that is not
# part of Windows (a mingw runtime DLL, for instance), when Launch.exe holds
# the JSON library, or when a program that may run elevated imports a DLL
# outside the system's KnownDLLs without a load configuration that restricts
# its static imports to System32 (LOAD_LIBRARY_SEARCH_SYSTEM32): the loader
# would otherwise take such a DLL from the program's folder first. This reads
# the images only: Wine resolves system DLLs its own way and cannot show it.
set -u
dir=${1:?folder}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# The programs installed in the product folder, which run elevated.
elevated='^(launch|launchreport)\.exe$'
# KnownDLLs of Windows 10 (the loader maps these from System32 by name), and
# ntdll and the API sets, which never come from a folder.
known='^(advapi32|clbcatq|combase|comdlg32|coml2|difxapi|gdi32|gdiplus|imagehlp|imm32|kernel32|msctf|msvcrt|normaliz|nsi|ole32|oleaut32|psapi|rpcrt4|sechost|setupapi|shcore|shell32|shlwapi|user32|wldap32|ws2_32|ntdll|api-ms-win-[a-z0-9-]+)\.dll$'
system32_only=0x800
allowed='^(kernel32|user32|advapi32|shell32|shlwapi|ole32|oleaut32|msvcrt|ntdll|wintrust|crypt32|wtsapi32|userenv|dbghelp|version|ws2_32|gdi32|comctl32|comdlg32|secur32|bcrypt|rpcrt4|psapi|imagehlp|api-ms-win-[a-z0-9-]+)\.dll$'
# The DLL planting tests' module imports its helper on purpose (kit/dll_search).
deliberate='search_user.tqm:search_helper.dll'
found=0; bad=0
shopt -s nullglob nocaseglob
for f in "$dir"/*.exe "$dir"/*.dll "$dir"/*.tqm; do
  found=$((found+1))
  name=$(basename "$f" | tr 'A-Z' 'a-z')
  flags=0x0
  if [[ $name =~ $elevated ]]; then flags=$(python3 "$here/dependent-load-flags.py" "$f"); fi
  while read -r dll; do
    lower=$(printf '%s' "$dll" | tr 'A-Z' 'a-z')
    if ! [[ $lower =~ $allowed ]] && [ "$(basename "$f"):$lower" != "$deliberate" ]; then
      echo "$(basename "$f") imports $dll"; bad=$((bad+1))
    elif [[ $name =~ $elevated ]] && ! [[ $lower =~ $known ]] && (( (flags & system32_only) == 0 )); then
      echo "$(basename "$f") imports $dll, not a KnownDLL, without restricting its static imports to System32"
      bad=$((bad+1))
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
