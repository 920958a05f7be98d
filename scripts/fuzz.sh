#!/usr/bin/env bash
# Builds the libFuzzer targets over the readers of foreign data (clang,
# AddressSanitizer and UBSan) and runs each for a while from its seed corpus.
#
#   scripts/fuzz.sh [seconds]   # each target for that long (default 60)
#   scripts/fuzz.sh --list      # the targets, one "<folder>/<target>" a line
#
# A target's binary is <build>/<folder>/<target>, its seeds
# <folder>/tests/corpus/<target>/. The seeds are copied to a scratch corpus
# (<build>/fuzz-work/<target>/corpus), so the tree is never written; findings
# land in <build>/fuzz-work/<target>/findings/. Exits non-zero when any target
# found something (a crash, leak, time-out or running out of memory).
set -u
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

targets=(
  script/script_block_fuzz
  strings/skin_buffer_fuzz
  crypt/crypt_fuzz
  environment/shared_block_fuzz
  kit/ptl/ptl_data_fuzz
  kit/script/script_language_fuzz
  kit/strings/skin_file_fuzz
  kit/config/config_data_fuzz
  diag/trace_reader_fuzz
)
if [ "${1:-}" = "--list" ]; then
  printf '%s\n' "${targets[@]}"
  exit 0
fi

seconds=${1:-60}
case $seconds in
  ''|*[!0-9]*) echo "usage: scripts/fuzz.sh [seconds] | --list" >&2; exit 2 ;;
esac
dir=${TQN_BUILD_FUZZ:-$root/build/fuzz}
jobs=${TQN_JOBS:-2}

"$root/scripts/setup.sh" || { echo "set-up failed"; exit 1; }
mkdir -p "$dir"
echo "== fuzz: configure and build ($dir)"
if ! CC=clang CXX=clang++ cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTQN_FUZZ=ON -DTQN_SANITIZE=ON \
      >"$dir.configure.log" 2>&1; then
  cat "$dir.configure.log"; echo "fuzz: configure failed"; exit 1
fi
if ! cmake --build "$dir" -j "$jobs" --target "${targets[@]##*/}"; then
  echo "fuzz: build failed"; exit 1
fi

summary=()
found=0
for target in "${targets[@]}"; do
  name=${target##*/}
  work="$dir/fuzz-work/$name"
  rm -rf "$work"
  mkdir -p "$work/corpus" "$work/findings"
  if ! cp "$root/$(dirname "$target")/tests/corpus/$name/"* "$work/corpus/"; then
    echo "$name: no seed corpus"; summary+=("$name: no seed corpus"); found=1; continue
  fi
  echo "== fuzz: $name for $seconds s"
  # A Windows thread has 1 MiB of stack: so has the fuzzer, so that deep
  # recursion shows at the input sizes it tries.
  (ulimit -s 1024 && exec "$dir/$target" "$work/corpus" -max_total_time="$seconds" -timeout=10 \
     -print_final_stats=1 -artifact_prefix="$work/findings/") >"$work/log" 2>&1
  status=$?
  runs=$(sed -nE 's/^stat::number_of_executed_units: *([0-9]+).*/\1/p' "$work/log" | tail -n 1)
  findings=$(find "$work/findings" -type f \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' \
                                              -o -name 'oom-*' \) | sort)
  count=$(grep -c . <<<"$findings")
  # A run that failed without leaving an input behind is a finding too.
  if [ "$status" -ne 0 ] && [ "$count" -eq 0 ]; then count=1; findings="(exit status $status, see $work/log)"; fi
  line="$name: ${runs:-?} executions, $count findings, corpus $(ls "$work/corpus" | wc -l) inputs"
  echo "$line"
  summary+=("$line")
  if [ "$count" -gt 0 ]; then
    found=1
    grep -E '^(==[0-9]+==ERROR|SUMMARY)' "$work/log" | head -n 4
    sed 's/^/  /' <<<"$findings"
  fi
done

echo "== fuzz: summary ($seconds s each)"
printf '%s\n' "${summary[@]}"
exit "$found"
