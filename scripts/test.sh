#!/usr/bin/env bash
# Builds the Windows build (mingw-w64, tests under Wine) and the native build
# of the portable code (AddressSanitizer and UBSan), runs every test, and ends
# with one line "N passed, N failed" for all suites together.
set -u
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
"$root/scripts/setup.sh" || { echo "set-up failed"; echo "0 passed, 1 failed"; exit 1; }

jobs=${TQN_JOBS:-2}
win=${TQN_BUILD_WIN:-$root/build/win}
native=${TQN_BUILD_NATIVE:-$root/build/native}
passed=0; failed=0

run_suite() {  # name, build dir, configure args...
  local name=$1 dir=$2; shift 2
  echo "== $name: configure and build"
  if ! cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Debug "$@" >"$dir.configure.log" 2>&1; then
    cat "$dir.configure.log"; echo "$name: configure failed"; failed=$((failed+1)); return
  fi
  if ! cmake --build "$dir" -j "$jobs"; then
    echo "$name: build failed"; failed=$((failed+1)); return
  fi
  if [ -x "$dir/wine-run.sh" ]; then
    # Create and start the prefix once before ctest lists the tests through it.
    "$dir/wine-run.sh" cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
  fi
  echo "== $name: tests"
  local log="$dir/ctest.log" junit="$dir/ctest.xml"
  (cd "$dir" && ctest -j "$jobs" --output-on-failure --timeout 300 --output-junit "$junit") 2>&1 | tee "$log"
  local summary total bad
  summary=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [ -z "$summary" ]; then
    echo "$name: no test summary"; failed=$((failed+1)); return
  fi
  bad=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$summary")
  total=$(sed -E 's/.* failed out of ([0-9]+).*/\1/' <<<"$summary")
  if [ "$bad" -gt 0 ]; then
    bad=$((bad - $(rerun_unstarted "$dir" "$junit")))
  fi
  # Disabled tests (a suite's child-process helpers) are in the total but never ran.
  local disabled
  disabled=$(grep -cE '\*\*\*Not Run \(Disabled\)' "$log")
  passed=$((passed + total - bad - disabled)); failed=$((failed + bad))
}

# A test whose program never reached main (nothing printed, e.g. Wine failed to
# start the process) says nothing about the code: run those once more, alone,
# and print how many then passed or skipped themselves (a skip is not a
# failure). A test that ran and failed is never re-run.
rerun_unstarted() {  # build dir, junit report
  local dir=$1 junit=$2 pattern rerun_log
  pattern=$("$root/scripts/unstarted-tests.py" "$junit" 2>/dev/null)
  if [ -z "$pattern" ]; then echo 0; return; fi
  rerun_log="$dir/ctest-rerun.log"
  echo "== re-running tests whose program never started: $pattern" >&2
  (cd "$dir" && ctest -R "$pattern" --output-on-failure --timeout 300) >"$rerun_log" 2>&1
  cat "$rerun_log" >&2
  # Count only the named tests: ctest also re-runs their fixtures' set-up
  # tests, whose passes must not stand for a test that failed again.
  sed -nE 's/^ *[0-9]+\/[0-9]+ Test +#[0-9]+: ([^ ]+) .*( Passed|\*\*\*Skipped).*/\1/p' "$rerun_log" |
    grep -cE "$pattern"
}

# The libFuzzer targets over the readers of foreign data (listed by
# scripts/fuzz.sh), built with clang under ASan and UBSan and run for a
# bounded number of inputs from a fixed seed, starting from a scratch copy of
# each seed corpus; each counts as a test.
run_fuzz() {  # build dir
  local dir=$1 target name work
  local targets=($("$root/scripts/fuzz.sh" --list))
  echo "== fuzz: configure and build"
  if [ ${#targets[@]} -eq 0 ] || ! CC=clang CXX=clang++ cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DTQN_FUZZ=ON -DTQN_SANITIZE=ON >"$dir.configure.log" 2>&1 ||
     ! cmake --build "$dir" -j "$jobs" --target "${targets[@]##*/}"; then
    echo "fuzz: build failed"; failed=$((failed+1)); return
  fi
  for target in "${targets[@]}"; do
    name=${target##*/}
    work="$dir/fuzz-work/$name"
    echo "== fuzz: $name"
    if ! { rm -rf "$work/corpus" && mkdir -p "$work/corpus" &&
           cp "$root/$(dirname "$target")/tests/corpus/$name/"* "$work/corpus/"; }; then
      echo "fuzz: $name has no seed corpus"; failed=$((failed+1)); continue
    fi
    # 1 MiB of stack, as a Windows thread has (see scripts/fuzz.sh).
    if (ulimit -s 1024 && exec "$dir/$target" "$work/corpus" -seed=1 -runs="${TQN_FUZZ_RUNS:-100000}" \
          -max_len=4096 -artifact_prefix="$work/") >"$work/log" 2>&1; then
      tail -n 2 "$work/log"; passed=$((passed+1))
    else
      tail -n 40 "$work/log"; echo "fuzz: $name failed"; failed=$((failed+1))
    fi
  done
}

mkdir -p "$root/build"
run_suite native "$native"
run_fuzz "${TQN_BUILD_FUZZ:-$root/build/fuzz}"
run_suite windows "$win" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake"

# Stop the test prefix's persistent wineserver.
[ -d "$win/wineprefix" ] && WINEPREFIX="$win/wineprefix" /usr/lib/wine/wineserver -k 2>/dev/null

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
