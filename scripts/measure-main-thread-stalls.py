#!/usr/bin/env python3
"""Measures a program's main-thread stalls from outside the process, with the kernel's own trace points.

Runs the command given under `perf record` (package linux-perf), tracing every entry to and exit from the system
calls an event loop waits in. A stall is the time between two waits for events: from a wait's return to the next
wait's start, whatever the thread does in between (running, or waiting on a lock), the window cannot answer.
The program marks the phases to measure with lines "PHASE <name> start|end <CLOCK_MONOTONIC ms> <process id>" on its standard
error (the benchmarks print them when TESS_BENCH_PHASES is set); each phase's longest stall is printed as
<name>_outside_max_stall_ms. A stall a phase starts or ends in counts only its part within the phase.
TESS_STALLS_LIST=1 also lists each phase's five longest stalls with the monotonic time they started at.

    scripts/measure-main-thread-stalls.py build/bench/bench_large_document --benchmark_filter=FromItsTile
"""

import os
import subprocess
import sys
import tempfile

WAITS = ["poll", "ppoll", "epoll_wait", "epoll_pwait", "select", "pselect6"]


def main_thread_stalls(trace, pid):
    """(start, end) in ms of every stretch between two waits on the main thread (whose id is the process's)."""
    script = subprocess.run(["perf", "script", "-i", trace, "-F", "tid,time,event"], capture_output=True,
                            text=True, check=True).stdout
    found = []
    left_wait = None
    for line in script.splitlines():
        fields = line.split()
        if len(fields) < 3 or fields[0] != str(pid):
            continue
        at = float(fields[1].rstrip(":")) * 1e3
        event = fields[2]
        if event.startswith("syscalls:sys_exit_"):
            left_wait = at
        elif event.startswith("syscalls:sys_enter_") and left_wait is not None:
            found.append((left_wait, at))
            left_wait = None
    return found


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    events = []
    for wait in WAITS:
        events += ["-e", f"syscalls:sys_enter_{wait}", "-e", f"syscalls:sys_exit_{wait}"]
    with tempfile.TemporaryDirectory() as folder:
        trace = os.path.join(folder, "waits.data")
        env = dict(os.environ, TESS_BENCH_PHASES="1")
        child = subprocess.Popen(["perf", "record", "-q", "-k", "CLOCK_MONOTONIC", "-o", trace, *events, "--",
                                  *sys.argv[1:]], stderr=subprocess.PIPE, env=env, text=True)
        phases = {}
        pid = None
        for line in child.stderr:
            sys.stderr.write(line)
            parts = line.split()
            if len(parts) == 5 and parts[0] == "PHASE":
                phases.setdefault(parts[1], {})[parts[2]] = float(parts[3])
                pid = int(parts[4])
        child.wait()
        if pid is None:
            print("no phase was marked")
            return child.returncode or 1
        found = main_thread_stalls(trace, pid)
    for name, edges in phases.items():
        if "start" not in edges or "end" not in edges:
            continue
        within = sorted(((min(end, edges["end"]) - max(start, edges["start"]), start)
                         for start, end in found if end > edges["start"] and start < edges["end"]), reverse=True)
        print(f"{name}_outside_max_stall_ms={within[0][0] if within else 0.0:.1f}")
        if os.environ.get("TESS_STALLS_LIST"):
            print(f"  {name}: " + ", ".join(f"{length:.1f} ms at {start:.1f}" for length, start in within[:5]))
    return child.returncode


if __name__ == "__main__":
    sys.exit(main())
