"""Benchmark harness: every (workload, implementation) pair runs in a process of its own.

A bench module (bench/bench_*.py) defines WORKLOADS, a list of Workload. The parent process runs
each implementation of each workload in a fresh interpreter, which builds the input with the
workload's setup, warms up once, keeps the best of several timed runs and reports the peak
resident memory reached above what the input already used. The table prints zentra's time and
memory against each peer as ratios (zentra / peer: below 1 means zentra is faster or smaller).
"""

import dataclasses
import importlib
import json
import os
import subprocess
import sys
import time
from typing import Callable

HERE = os.path.dirname(os.path.abspath(__file__))


@dataclasses.dataclass
class Workload:
    name: str
    setup: Callable[[], object]
    impls: dict  # label -> callable(data) -> result (the first label is zentra's)
    repeat: int = 5
    # Bytes of the result, to print peak memory relative to it (optional: callable(data) -> int).
    result_bytes: Callable[[object], int] | None = None


def _rss_kib(field):
    with open("/proc/self/status") as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    return 0


def _reset_peak():
    try:
        with open("/proc/self/clear_refs", "w") as f:
            f.write("5")
        return True
    except OSError:
        return False


def run_one(module_name, workload_name, impl):
    """Child side: time one implementation, print one JSON line."""
    module = importlib.import_module(module_name)
    w = next(w for w in module.WORKLOADS if w.name == workload_name)
    data = w.setup()
    fn = w.impls[impl]
    result = fn(data)  # warm-up
    result_bytes = w.result_bytes(data) if w.result_bytes else None
    del result
    best = float("inf")
    peak_extra = 0
    for _ in range(w.repeat):
        base = _rss_kib("VmRSS")
        exact = _reset_peak()
        t0 = time.perf_counter()
        result = fn(data)
        dt = time.perf_counter() - t0
        best = min(best, dt)
        peak = _rss_kib("VmHWM") if exact else _rss_kib("VmRSS")
        peak_extra = max(peak_extra, peak - base)
        del result
    print(json.dumps({"best": best, "peak_kib": peak_extra, "result_bytes": result_bytes}))


def _child(module_name, workload, impl, timeout):
    cmd = [sys.executable, os.path.join(HERE, "run.py"), "--one", module_name, workload, impl]
    env = dict(os.environ)
    env["PYTHONPATH"] = os.pathsep.join(p for p in [HERE, env.get("PYTHONPATH", "")] if p)
    try:
        out = subprocess.run(cmd, capture_output=True, text=True, timeout=timeout, env=env)
    except subprocess.TimeoutExpired:
        return {"error": f"timeout after {timeout}s"}
    if out.returncode != 0:
        last = (out.stderr.strip().splitlines() or ["failed"])[-1]
        return {"error": last[:80]}
    return json.loads(out.stdout.strip().splitlines()[-1])


def run_all(module_names, only=None, timeout=900):
    rows = []
    for module_name in module_names:
        module = importlib.import_module(module_name)
        for w in module.WORKLOADS:
            if only and only not in w.name:
                continue
            results = {impl: _child(module_name, w.name, impl, timeout) for impl in w.impls}
            rows.append((w, results))
            _print_rows(w, results)
    return rows


def _fmt_time(s):
    return f"{s * 1e3:9.1f} ms" if s < 10 else f"{s:9.2f} s "


def _print_rows(w, results):
    labels = list(w.impls)
    ours = results[labels[0]]
    print(f"\n{w.name}")
    for label in labels:
        r = results[label]
        if "error" in r:
            print(f"  {label:<28} error: {r['error']}")
            continue
        mem = r["peak_kib"] * 1024
        line = f"  {label:<28}{_fmt_time(r['best'])}  peak +{mem / 2**20:8.1f} MiB"
        if r.get("result_bytes"):
            line += f" ({mem / r['result_bytes']:.2f}x result)"
        if label != labels[0] and "error" not in ours:
            line += f"   zentra/{label}: time {ours['best'] / r['best']:.2f}"
            if r["peak_kib"] > 0:
                line += f", memory {ours['peak_kib'] / r['peak_kib']:.2f}"
        print(line, flush=True)
