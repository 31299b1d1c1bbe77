#!/usr/bin/env python3
"""The macrofill benchmark, end to end (process start to exit, output
written): generated property lists of 1, 10 and 50 MB in both formats, a
string of 200,000 back-to-back references and a chain of 1,000 definitions.
Each run is timed against `cat` of the same file (the I/O floor), and its
throughput and peak memory are printed next to the targets.

  run_benchmark.py BUILD_DIR
"""
import os
import subprocess
import sys
import tempfile
import time

RUNS = 3  # the best of these is reported


def run(argv, runs=RUNS):
    """Runs argv (standard output discarded) `runs` times; returns the best
    wall time, the CPU time of that run and the largest peak memory. The
    peak comes from /usr/bin/time, whose own small size is all the program
    inherits (a child of this interpreter would start counted at its size)."""
    best_wall, best_cpu, peak = None, None, 0
    for _ in range(runs):
        report = os.path.join(tempfile.gettempdir(), f"macrofill-bench-rss-{os.getpid()}")
        timed = ["/usr/bin/time", "-f", "%M", "-o", report] + argv
        start = time.perf_counter()
        pid = os.posix_spawn(timed[0], timed, os.environ,
                             file_actions=[(os.POSIX_SPAWN_OPEN, 1, os.devnull, os.O_WRONLY, 0)])
        _, status, usage = os.wait4(pid, 0)
        wall = time.perf_counter() - start
        if os.waitstatus_to_exitcode(status) != 0:
            sys.exit(f"failed ({os.waitstatus_to_exitcode(status)}): {' '.join(argv)}")
        with open(report) as f:
            peak = max(peak, int(f.read().split()[-1]) * 1024)
        os.remove(report)
        if best_wall is None or wall < best_wall:
            best_wall, best_cpu = wall, usage.ru_utime + usage.ru_stime
    return best_wall, best_cpu, peak


def verdict(ok):
    return "met" if ok else "MISSED"


def main():
    build = os.path.abspath(sys.argv[1])
    tool = os.path.join(build, "macrofill", "macrofill")
    generate = os.path.join(build, "bench", "macrofill", "macrofill-bench-generate")
    expansion_bench = os.path.join(build, "bench", "macrofill", "macrofill-expansion-bench")
    with tempfile.TemporaryDirectory(prefix="macrofill-bench-") as work:
        settings = os.path.join(work, "settings.plist")
        subprocess.run([generate, "settings", settings], check=True)
        print(f"{'input':<16}{'size MB':>9}{'cat s':>8}{'run s':>8}{'cpu s':>8}{'MB/s':>8}{'peak MB':>9}{'peak/in':>8}")
        results = {}
        for fmt in ("xml", "binary"):
            for megabytes in (1, 10, 50):
                path = os.path.join(work, f"list{megabytes}.{fmt}")
                subprocess.run([generate, "list", str(megabytes), fmt, path], check=True)
                size = os.path.getsize(path)
                cat_wall, _, _ = run(["/bin/cat", path])
                wall, cpu, peak = run([tool, "--build-settings", settings, "--output",
                                       os.path.join(work, "out.plist"), path])
                results[(fmt, megabytes)] = (size, wall, peak)
                print(f"{fmt + ' ' + str(megabytes) + ' MB':<16}{size / 1e6:>9.1f}{cat_wall:>8.3f}{wall:>8.3f}"
                      f"{cpu:>8.3f}{size / 1e6 / wall:>8.1f}{peak / 1e6:>9.1f}{peak / size:>8.2f}")

        references = os.path.join(work, "references.plist")
        subprocess.run([generate, "references", "200000", references], check=True)
        refs_wall, refs_cpu, _ = run([tool, "--build-settings", settings, "--output", "-", references])
        chain, chain_settings = os.path.join(work, "chain.plist"), os.path.join(work, "chain-settings.plist")
        subprocess.run([generate, "chain", "1000", chain, chain_settings], check=True)
        chain_wall, _, _ = run([tool, "--build-settings", chain_settings, "--output", "-", chain])

        print("\ntargets")
        for fmt in ("xml", "binary"):
            size, wall, _ = results[(fmt, 50)]
            print(f"  {fmt} 50 MB throughput: {size / 1e6 / wall:.1f} MB/s (target >= 100): "
                  f"{verdict(size / 1e6 / wall >= 100)}")
        for megabytes in (1, 10, 50):
            worst = max(results[(fmt, megabytes)][2] / results[(fmt, megabytes)][0] for fmt in ("xml", "binary"))
            print(f"  peak memory at {megabytes} MB: at most {worst:.2f} x the input (target <= 4): {verdict(worst <= 4)}")
        _, _, baseline = run([tool, "--help"])
        print(f"  (a run of macrofill --help alone peaks at {baseline / 1e6:.1f} MB)")
        for fmt in ("xml", "binary"):
            ratio = results[(fmt, 50)][1] / results[(fmt, 10)][1]
            print(f"  {fmt} 50 MB time / 10 MB time: {ratio:.2f} (target <= 5.5): {verdict(ratio <= 5.5)}")
        print(f"  2 MB string of 200,000 references: {refs_wall:.3f} s, cpu {refs_cpu:.3f} s "
              f"(target < 0.5 s): {verdict(refs_wall < 0.5)}")
        print(f"  chain of 1,000 definitions: {chain_wall:.3f} s")

    print("\nexpansion in process (time should grow linearly with the argument)")
    sys.stdout.flush()
    subprocess.run([expansion_bench, "--benchmark_min_time=0.2"], check=True)


if __name__ == "__main__":
    main()
