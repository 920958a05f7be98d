#!/usr/bin/env bash
# Start-up benchmark under Wine: Launch.exe's usual road (intact registration,
# a shortcut's empty command line) against two yardsticks in the same
# installed product and the same warm prefix (kit/bench):
#   bare starter   - only starts the tray program;
#   floor          - verifies the three modules the usual road must trust
#                    (signature and signer, once each), then starts it.
# Runs alternate, in rotating order; the figures are medians. It also prints
# Launch.exe's time by phase (from its trace records, method 4), the
# signature verifications one usual road makes (from Wine's wintrust debug
# channel), its registry writes and key descriptor writes (from the reg
# channel; none of the latter on an intact registration), and the size of the
# Release Launch.exe.
#   bench.sh [rounds]     (default 15)
set -eu
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
rounds=${1:-15}
case "$rounds" in '' | *[!0-9]*) echo "usage: bench.sh [rounds]" >&2; exit 2 ;; esac
"$root/scripts/setup.sh"
build=${TQN_BUILD_BENCH:-$root/build/bench}
echo "Building the Release programs (the first time takes a few minutes)..."
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$build" --target demo_product add_root_cert bench_starter bench_floor -j 2 >/dev/null

prefix=$build/bench-prefix
export WINEPREFIX=$prefix
trap '/usr/lib/wine/wineserver -k 2>/dev/null || true' EXIT
"$root/scripts/install-product.sh" "$build" "$prefix" >/dev/null
cp "$build/bin/bench_starter.exe" "$build/bin/bench_floor.exe" "$prefix/drive_c/Program Files/Tarvolin/"

python3 - "$prefix" "$rounds" "$build/bin/Launch.exe" <<'EOF'
import datetime, os, re, statistics, subprocess, sys, time

prefix, rounds, launch_file = sys.argv[1], int(sys.argv[2]), sys.argv[3]
loader = "/usr/lib/wine/wine64"
folder = "C:\\Program Files\\Tarvolin\\"
env = {k: v for k, v in os.environ.items() if not k.startswith("TQN_")}
env.update(WINEPREFIX=prefix, WINEDEBUG="-all")
trace = os.path.join(prefix, "drive_c/ProgramData/Tarvolin/Logs/launch.log")
programs = [("Launch.exe", "Launch.exe (usual road)"), ("bench_floor.exe", "verification floor"),
            ("bench_starter.exe", "bare starter")]

# Launch.exe's milestones, in the order it traces them; a phase ends at its tag.
phases = [("{35D4E22D-B8B6-450B-8013-896B07D3D16B}",
           "process start, path tool, product root, first trace record"),
          ("{427D3012-FC53-492F-95AE-60BC13C0091C}", "crash handler, settings (CommonData)"),
          ("{5DEB6B52-04D4-431B-940B-EB8FF5D08038}", "association check"),
          ("{77D89E6C-6557-4AF3-974C-4C10D4355F30}", "association repair"),
          ("{2526CAEA-B202-4A61-9BBF-B74A4DE1BF41}", "uninstall guard"),
          ("{3016B153-C6F9-4BF0-B03D-3D61224ADDC9}", "launch path choice"),
          (None, "tray program started, teardown, process end")]
record = re.compile(r"\[ (\d{4})-(\d\d)-(\d\d) (\d\d):(\d\d):(\d\d) (\d{3})ms \] \[[^\]\r\n]*\]\s+\[(\{[0-9A-F-]{36}\})")


def trace_size():
    return os.path.getsize(trace) if os.path.exists(trace) else 0


def run(exe, debug=None):
    e = dict(env, WINEDEBUG=debug) if debug else env
    started = time.time()
    t = time.perf_counter()
    done = subprocess.run([loader, folder + exe], env=e, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                          stderr=subprocess.PIPE if debug else subprocess.DEVNULL)
    elapsed = (time.perf_counter() - t) * 1000
    if done.returncode != 0:
        sys.exit(f"bench: {exe} ended with exit code {done.returncode}")
    time.sleep(0.3)  # the detached tray program ends before the next run
    return started, elapsed, done.stderr


def phase_times(started, elapsed, text):
    stamps = {}
    for m in record.finditer(text):
        y, mo, d, h, mi, s, ms = (int(x) for x in m.groups()[:7])
        stamps[m.group(8)] = datetime.datetime(y, mo, d, h, mi, s, ms * 1000).timestamp() * 1000
    times, previous = [], started * 1000
    for tag, _ in phases:
        end = stamps.get(tag) if tag else started * 1000 + elapsed
        if end is None:
            sys.exit(f"bench: Launch.exe left no trace record {tag}")
        times.append(end - previous)
        previous = end
    return times


for exe, _ in programs * 2:  # warm-up: the prefix, the file cache, the first registration writes
    run(exe)
times = {exe: [] for exe, _ in programs}
breakdown = []
for i in range(rounds):
    for exe, _ in programs[i % 3:] + programs[:i % 3]:
        before = trace_size()
        started, elapsed, _ = run(exe)
        times[exe].append(elapsed)
        if exe == "Launch.exe":
            with open(trace, "rb") as f:
                f.seek(before)
                breakdown.append(phase_times(started, elapsed, f.read().decode("ascii", "replace")))

median = {exe: statistics.median(v) for exe, v in times.items()}
print(f"\nStart-up under Wine, {rounds} alternating rounds in one warm prefix (ms):")
print(f"  {'':26} {'median':>8} {'min':>8} {'max':>8}")
for exe, name in programs:
    print(f"  {name:26} {median[exe]:8.0f} {min(times[exe]):8.0f} {max(times[exe]):8.0f}")
print(f"  Launch.exe / floor:        {median['Launch.exe'] / median['bench_floor.exe']:.2f}")
print(f"  Launch.exe / bare starter: {median['Launch.exe'] / median['bench_starter.exe']:.2f}")

print("\nLaunch.exe by phase (medians, ms; each phase ends at its trace record):")
for (_, name), values in zip(phases, zip(*breakdown)):
    print(f"  {statistics.median(values):7.0f}  {name}")

for exe, name in programs[:2]:
    _, _, log = run(exe, "trace+wintrust")
    # One entry per WinVerifyTrust call that verifies: closing a kept state
    # (dwStateAction 2) names the file again but checks nothing.
    calls = log.decode("utf-8", "replace").split("trace:wintrust:WinVerifyTrust (")[1:]
    files = [m.group(1) for call in calls
             if (m := re.search(r'dump_file_info pcwszFilePath: L"([^"]*)"', call))
             and not re.search(r"dwStateAction: 2\b", call)]
    counts = {}
    for f in files:
        base = f.replace("\\\\", "\\").rsplit("\\", 1)[-1]
        counts[base] = counts.get(base, 0) + 1
    listed = ", ".join(f"{n} x{c}" for n, c in counts.items()) or "none"
    print(f"\nSignature verifications, {name}: {len(files)} ({listed})")

# Registry writes of one usual road, from Wine's reg channel: values set,
# keys and values deleted by Launch.exe's own thread. Wine writes some of its
# own in every process (time zone, keyboard layout) and crypt32 caches
# certificates ("Blob") while signatures are checked: those are counted apart.
_, _, log = run("Launch.exe", "trace+reg")
lines = log.decode("utf-8", "replace").splitlines()
main_thread = next((l.split(":", 1)[0] for l in lines if ":trace:reg:" in l), None)
handles, pending, ours, wines, descriptors = {}, None, [], 0, []
for line in lines:
    if not line.startswith(f"{main_thread}:trace:reg:"):
        continue
    # A key's security written: a widening, a change of owner or a restore.
    m = re.search(r"RegSetKeySecurity \(([0-9A-Fa-fx]+),", line)
    if m:
        descriptors.append(handles.get(hex(int(m.group(1), 16)), "?"))
        continue
    m = re.search(r'Nt(?:OpenKeyEx|CreateKey) \(([^,]*),L"((?:[^"\\]|\\.)*)"', line)
    if m:
        pending = m.group(2).replace("\\\\", "\\")
        continue
    m = re.search(r"Nt(?:OpenKeyEx|CreateKey) <- (0x[0-9a-f]+)", line)
    if m and pending is not None:
        handles[m.group(1)] = pending
        pending = None
        continue
    m = re.search(r'(NtSetValueKey|NtDeleteValueKey) \((0x[0-9a-f]+),L"((?:[^"\\]|\\.)*)"', line)
    if m:
        key, value = handles.get(m.group(2), "?"), m.group(3)
        if value in ("Blob", "StandardName", "TimeZoneKeyName") or key.endswith("Keyboard Layout\\Preload"):
            wines += 1
        else:
            ours.append(f'{"set" if m.group(1) == "NtSetValueKey" else "deleted"} {key} [{value}]')
    elif "NtDeleteKey" in line and "<-" not in line:
        m = re.search(r"NtDeleteKey \((0x[0-9a-f]+)\)", line)
        ours.append(f"deleted key {handles.get(m.group(1), '?') if m else '?'}")
print(f"\nRegistry writes of one usual road (intact registration): {len(ours)}")
for write in ours:
    print(f"  {write}")
print(f"  (besides {wines} by Wine itself: time zone, keyboard layout, crypt32's certificate cache)")
print(f"Key descriptors written on that road: {len(descriptors)}")
for key in descriptors:
    print(f"  {key}")

size = os.path.getsize(launch_file)
print(f"\nLaunch.exe, Release, stripped and signed: {size} bytes ({size / 1024:.0f} KiB)")
EOF
