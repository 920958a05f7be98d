#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12 (run as root).
# Installs only what is missing, so a prepared machine is left as it is.
set -eu
packages=(cmake make g++ git python3 g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
          wine64 googletest libgtest-dev libgmock-dev libbenchmark-dev osslsigncode openssl
          util-linux clang libclang-rt-14-dev nlohmann-json3-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
