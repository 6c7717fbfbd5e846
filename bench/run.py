"""Runs the benchmarks: `python bench/run.py [substring]` (all bench_*.py modules, or the workloads
whose name contains the substring)."""

import glob
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import harness  # noqa: E402


def main(argv):
    if argv[:1] == ["--one"]:
        harness.run_one(*argv[1:4])
        return
    here = os.path.dirname(os.path.abspath(__file__))
    modules = sorted(os.path.basename(p)[:-3] for p in glob.glob(os.path.join(here, "bench_*.py")))
    only = argv[0] if argv else None
    print("times: best of several runs after a warm-up; peak: resident memory above the input's")
    harness.run_all(modules, only)


if __name__ == "__main__":
    main(sys.argv[1:])
