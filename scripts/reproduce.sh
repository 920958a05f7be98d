#!/usr/bin/env bash
# Builds the Release demo product folder twice from one commit, in two trees
# with different absolute paths and at different times, and compares every
# file of the two folders byte for byte.
#
#   reproduce.sh [--two-cas] [--commit <rev>] [--work <folder>] [--jobs <n>]
#   reproduce.sh --compare <folder> <folder>     only compare two product folders
#
# Prints one line per file ("same", or "differs" with the first differing
# offset and the bytes there), then "N same, N differ"; exits 0 only when
# every file is the same. Both builds sign with one test CA, made once here
# (TQN_TEST_CA); --two-cas lets each build make its own, and then says which
# files differ only in their signatures. Nothing comes from ccache, and the
# signing time is the commit's time (TQN_SIGNING_TIME).
set -eu
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

two_cas=0 rev=HEAD work=$root/build/reproduce jobs=${TQN_JOBS:-2} first= second=
usage() { sed -n '2,14p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2; exit 2; }
while [ $# -gt 0 ]; do
  case $1 in
    --two-cas) two_cas=1 ;;
    --commit) rev=${2:?}; shift ;;
    --work) work=${2:?}; shift ;;
    --jobs) jobs=${2:?}; shift ;;
    --compare) first=${2:?}; second=${3:?}; shift 2 ;;
    *) usage ;;
  esac
  shift
done

# The bytes at <offset> (0-based) of <file>, in hex.
bytes_at() { od -An -tx1 -j "$2" -N 8 "$1" | tr -s ' ' | sed 's/^ //; s/ $//'; }
# Whether <file> carries an Authenticode signature that osslsigncode can strip;
# then its bytes without it land in <out>.
unsigned_image() { rm -f "$2"; osslsigncode remove-signature -in "$1" -out "$2" >/dev/null 2>&1; }

# Prints a line per file of the two folders and the count; fails on any difference.
compare() {  # first folder, second folder
  local first=$1 second=$2 same=0 differ=0 file a b at off line
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
  while IFS= read -r file; do
    a=$first/$file b=$second/$file
    if [ ! -f "$a" ] || [ ! -f "$b" ]; then
      echo "differs  $file: only in $([ -f "$a" ] && echo the first || echo the second) build"
      differ=$((differ + 1)); continue
    fi
    if cmp -s "$a" "$b"; then
      echo "same     $file"
      same=$((same + 1)); continue
    fi
    differ=$((differ + 1))
    # cmp counts from 1; an EOF message means one file is a prefix of the other.
    at=$(cmp "$a" "$b" 2>&1 | sed -nE 's/.* differ: (byte|char) ([0-9]+),.*/\2/p')
    if [ -z "$at" ]; then
      line="sizes $(stat -c %s "$a") and $(stat -c %s "$b"), one a prefix of the other"
    else
      off=$((at - 1))
      line=$(printf 'at offset %d (0x%x): %s | %s' "$off" "$off" "$(bytes_at "$a" "$off")" "$(bytes_at "$b" "$off")")
    fi
    if unsigned_image "$a" "$scratch/a" && unsigned_image "$b" "$scratch/b"; then
      if cmp -s "$scratch/a" "$scratch/b"; then
        line="$line; only the signature differs (the image without it is the same)"
      else
        line="$line; the image differs, not only the signature"
      fi
    fi
    echo "differs  $file $line"
  done < <( { (cd "$first" && find . -type f); (cd "$second" && find . -type f); } |
            sed 's|^\./||' | LC_ALL=C sort -u)

  echo "$same same, $differ differ"
  [ "$differ" -eq 0 ]
}

if [ -n "$first" ]; then
  compare "$first" "$second"
  exit
fi

commit=$(git -C "$root" rev-parse --verify "$rev^{commit}")
signing_time=$(git -C "$root" log -1 --format=%ct "$commit")
# The signing time goes in by name, and SOURCE_DATE_EPOCH stays unset: the
# linker would take its time stamp from it, and hide a link that needs one.
unset SOURCE_DATE_EPOCH
# A compiler cache would hide a compiler whose output varies.
export CCACHE_DISABLE=1

mkdir -p "$work"
work=$(cd "$work" && pwd)
# Two trees whose paths differ in length and depth as well as in name.
trees=("$work/a" "$work/second/tree-b")
ca=$work/ca
rm -rf "${trees[@]}" "$ca"

if [ "$two_cas" -eq 0 ]; then
  bash "$root/scripts/make-test-certs.sh" "$ca" >/dev/null
  export TQN_TEST_CA=$ca
else
  unset TQN_TEST_CA
fi

build() {  # tree
  local tree=$1
  mkdir -p "$tree/src"
  git -C "$root" archive "$commit" | tar -x -C "$tree/src"
  echo "== building $commit in $tree ($(date -u +%T))" >&2
  if ! { cmake -S "$tree/src" -B "$tree/build" -DCMAKE_BUILD_TYPE=Release \
           -DCMAKE_TOOLCHAIN_FILE="$tree/src/cmake/mingw-w64-x86_64.cmake" \
           -DTQN_SIGNING_TIME="$signing_time" &&
         cmake --build "$tree/build" -j "$jobs" --target demo_product; } >"$tree/build.log" 2>&1; then
    tail -n 40 "$tree/build.log" >&2
    echo "reproduce: the build in $tree failed (log: $tree/build.log)" >&2
    exit 1
  fi
}

build "${trees[0]}"
# At least a second apart, whatever the machine's speed.
sleep 2
build "${trees[1]}"

compare "${trees[0]}/build/product/Tarvolin" "${trees[1]}/build/product/Tarvolin"
