#!/usr/bin/env python3
"""The macrofill benchmark, end to end (process start to exit, output
written): generated property lists of 1, 10 and 50 MB in both formats, a
string of 200,000 back-to-back references, a chain of 1,000 definitions and
arrays nested 10,000 deep. Each list is also copied by the I/O floor program,
which reads it and writes a file of the same size atomically with no parsing,
and expanded by a build of macrofill that does all of its work on one thread;
the floor, that build and macrofill take turns, so all see the same machine. Every
figure is the median of the runs, printed next to its target, with the load
average of the machine.

  run_benchmark.py BUILD_DIR [RUNS]
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time

RUNS = 3


def once(argv, expected_status=0):
    """Runs argv (standard output and error discarded); returns the wall
    time, the CPU time and the peak memory. The peak comes from
    /usr/bin/time, whose own small size is all the program inherits (a child
    of this interpreter would start counted at its size)."""
    report = os.path.join(tempfile.gettempdir(), f"macrofill-bench-rss-{os.getpid()}")
    timed = ["/usr/bin/time", "-f", "%M", "-o", report] + argv
    start = time.perf_counter()
    pid = os.posix_spawn(timed[0], timed, os.environ,
                         file_actions=[(os.POSIX_SPAWN_OPEN, 1, os.devnull, os.O_WRONLY, 0),
                                       (os.POSIX_SPAWN_OPEN, 2, os.devnull, os.O_WRONLY, 0)])
    _, status, usage = os.wait4(pid, 0)
    wall = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != expected_status:
        sys.exit(f"failed ({os.waitstatus_to_exitcode(status)}): {' '.join(argv)}")
    with open(report) as f:
        peak = int(f.read().split()[-1]) * 1024
    os.remove(report)
    return wall, usage.ru_utime + usage.ru_stime, peak


def median_runs(commands, runs):
    """Runs each (argv, expected status) of `commands` in turn, `runs`
    times over; returns per command the median wall time, the median CPU
    time and the largest peak memory."""
    samples = [[] for _ in commands]
    for _ in range(runs):
        for i, (argv, expected) in enumerate(commands):
            samples[i].append(once(argv, expected))
    return [(statistics.median(s[0] for s in runs_of), statistics.median(s[1] for s in runs_of),
             max(s[2] for s in runs_of)) for runs_of in samples]


def verdict(ok):
    return "met" if ok else "MISSED"


def load():
    return "load average " + " ".join(f"{x:.2f}" for x in os.getloadavg())


def main():
    build = os.path.abspath(sys.argv[1])
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else RUNS
    tool = os.path.join(build, "macrofill", "macrofill")
    bench = os.path.join(build, "bench", "macrofill")
    generate = os.path.join(bench, "macrofill-bench-generate")
    floor = os.path.join(bench, "macrofill-io-floor")
    one_thread = os.path.join(bench, "macrofill-single-thread")
    expansion_bench = os.path.join(bench, "macrofill-expansion-bench")
    with tempfile.TemporaryDirectory(prefix="macrofill-bench-", dir=build) as work:
        settings = os.path.join(work, "settings.plist")
        output = os.path.join(work, "out.plist")
        subprocess.run([generate, "settings", settings], check=True)
        print(f"median of {runs} runs; {load()} at the start")
        print(f"{'input':<16}{'size MB':>9}{'floor s':>9}{'run s':>8}{'ratio':>7}{'cpu s':>8}"
              f"{'MB/s':>8}{'peak MB':>9}{'peak/in':>8}{'1-thr s':>9}{'ratio':>7}{'cpu s':>8}")
        results = {}
        for fmt in ("xml", "binary"):
            for megabytes in (1, 10, 50):
                path = os.path.join(work, f"list{megabytes}.{fmt}")
                subprocess.run([generate, "list", str(megabytes), fmt, path], check=True)
                size = os.path.getsize(path)
                expand = ["--build-settings", settings, "--output", output, path]
                (floor_wall, _, _), (one_wall, one_cpu, _), (wall, cpu, peak) = median_runs(
                    [([floor, path, output], 0), ([one_thread] + expand, 0), ([tool] + expand, 0)],
                    runs)
                results[(fmt, megabytes)] = (size, wall, peak, floor_wall)
                print(f"{fmt + ' ' + str(megabytes) + ' MB':<16}{size / 1e6:>9.1f}{floor_wall:>9.3f}"
                      f"{wall:>8.3f}{wall / floor_wall:>7.2f}{cpu:>8.3f}{size / 1e6 / wall:>8.1f}"
                      f"{peak / 1e6:>9.1f}{peak / size:>8.2f}{one_wall:>9.3f}"
                      f"{one_wall / floor_wall:>7.2f}{one_cpu:>8.3f}")

        references = os.path.join(work, "references.plist")
        subprocess.run([generate, "references", "200000", references], check=True)
        chain, chain_settings = os.path.join(work, "chain.plist"), os.path.join(work, "chain-settings.plist")
        subprocess.run([generate, "chain", "1000", chain, chain_settings], check=True)
        deep = {}
        for fmt in ("xml", "binary"):
            deep[fmt] = os.path.join(work, f"deep.{fmt}")
            subprocess.run([generate, "deep", "10000", fmt, deep[fmt]], check=True)
        (refs_wall, refs_cpu, _), (chain_wall, _, _), (deep_xml, _, _), (deep_binary, _, _) = median_runs(
            [([tool, "--build-settings", settings, "--output", "-", references], 0),
             ([tool, "--build-settings", chain_settings, "--output", "-", chain], 0),
             # Deeper than lists may nest: refused as not a valid property list.
             ([tool, "--build-settings", settings, "--output", output, deep["xml"]], 65),
             ([tool, "--build-settings", settings, "--output", output, deep["binary"]], 65)], runs)

        print(f"\ntargets ({load()} at the end)")
        for fmt in ("xml", "binary"):
            size, wall, peak, floor_wall = results[(fmt, 50)]
            print(f"  {fmt} 50 MB throughput: {size / 1e6 / wall:.1f} MB/s (target >= 150): "
                  f"{verdict(size / 1e6 / wall >= 150)}")
            print(f"  {fmt} 50 MB time / floor time: {wall / floor_wall:.2f} (target <= 2): "
                  f"{verdict(wall / floor_wall <= 2)}")
            print(f"  {fmt} 50 MB peak memory: {peak / size:.2f} x the input (target <= 2): "
                  f"{verdict(peak / size <= 2)}")
            ratio = wall / results[(fmt, 10)][1]
            print(f"  {fmt} 50 MB time / 10 MB time: {ratio:.2f} (target <= 5.5): {verdict(ratio <= 5.5)}")
        _, _, baseline = once([tool, "--help"])
        print(f"  (a run of macrofill --help alone peaks at {baseline / 1e6:.1f} MB)")
        print(f"  2 MB string of 200,000 references: {refs_wall:.3f} s, cpu {refs_cpu:.3f} s "
              f"(target < 0.5 s): {verdict(refs_wall < 0.5)}")
        print(f"  chain of 1,000 definitions: {chain_wall:.3f} s")
        print(f"  arrays nested 10,000 deep, refused: XML {deep_xml:.3f} s, binary {deep_binary:.3f} s")

    print("\nexpansion in process (time should grow linearly with the argument; medians of 5)")
    sys.stdout.flush()
    subprocess.run([expansion_bench, "--benchmark_min_time=0.2", "--benchmark_repetitions=5",
                    "--benchmark_report_aggregates_only=true"], check=True)


if __name__ == "__main__":
    main()
