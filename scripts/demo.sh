#!/usr/bin/env bash
# The main job, run end to end under Wine in a private prefix: builds the
# Windows build and shows the launch machinery starting the tray program's
# stand-in by each launch path.
set -eu
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/setup.sh"
build=${TQN_BUILD_WIN:-$root/build/win}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$build" --target launch_demo -j 2 >/dev/null
export WINEPREFIX="$build/demo-prefix"
trap '/usr/lib/wine/wineserver -k 2>/dev/null || true' EXIT
"$build/wine-run.sh" "$build/bin/launch_demo.exe" | tr -d '\r'
