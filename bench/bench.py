#!/usr/bin/env python3
"""Measures Selvane under Wine on Xvfb against a minimal tray program and writes a table.

Usage: bench.py RUN_BUILD I686_BUILD WINE_ROOT OUTPUT_MD [--quick]
RUN_BUILD is the build whose programs run under Wine: the i686 product where Wine runs 32-bit
programs, the x86_64 build elsewhere. Run through scripts/bench.sh, which chooses and builds.
"""
import datetime
import os
import platform
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

RUN, I686, WINE_ROOT, OUT_MD = sys.argv[1:5]
QUICK = "--quick" in sys.argv
TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SELVANE = ("Selvane", "Selvane")
MINIMAL = ("SelvaneBenchMinimal", "SelvaneBenchMinimal")
IDLE_SECONDS = 5 if QUICK else 30
STARTUP_ROUNDS = 3 if QUICK else 21
IDLE_RUNS = 1 if QUICK else 3
CLK_TCK = os.sysconf("SC_CLK_TCK")


def wine_env():
    """Environment of the bench's own Wine prefix and display (see cmake/wine-env.sh)."""
    script = (f'. "{TOP}/cmake/wine-env.sh"; selvane_wine_env "{WINE_ROOT}" >/dev/null; '
              'env -0')
    raw = subprocess.run(["bash", "-c", script], check=True, capture_output=True).stdout
    env = dict(item.split("=", 1) for item in raw.decode().split("\0") if "=" in item)
    return env


ENV = wine_env()
WINE = ENV["SELVANE_WINE"]


def pe_build(path):
    """'i686' or 'x86_64' by the machine field of a Windows program's PE header."""
    with open(path, "rb") as f:
        head = f.read(4096)
    pe = int.from_bytes(head[0x3C:0x40], "little")
    machine = int.from_bytes(head[pe + 4:pe + 6], "little")
    return {0x14C: "i686", 0x8664: "x86_64"}.get(machine, "machine 0x%x" % machine)


RUN_BUILD = pe_build(os.path.join(RUN, "bin", "Selvane.exe"))


def wine(*args, check=True, timeout=600):
    result = subprocess.run([WINE, *args], env=ENV, capture_output=True, text=True,
                            timeout=timeout)
    if check and result.returncode != 0:
        raise RuntimeError(f"{args[0]} failed ({result.returncode}): {result.stderr.strip()}")
    return result.stdout


def ctl(*args, check=True):
    return wine(os.path.join(RUN, "bench", "bench_ctl.exe"), *args, check=check)


def values(text, key):
    """All "key label value" or "key value" lines of a bench program's output."""
    number = re.compile(r"^-?[0-9.]+$")
    out = {}
    for line in text.splitlines():
        parts = line.split()
        if not parts or parts[0] != key:
            continue
        rest = parts[1:]
        label = rest.pop(0) if rest and not number.match(rest[0]) else ""
        value = next((float(v) for v in rest if number.match(v)), None)
        if value is not None:
            out.setdefault(label, []).append(value)
    return out


def start(exe):
    return subprocess.Popen([WINE, exe], env=ENV, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)


def linux_pid(exe_name):
    """The Linux process of a Windows program of this prefix (Wine names it by its path)."""
    prefix = ENV["WINEPREFIX"]
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/cmdline", "rb") as f:
                argv0 = f.read().split(b"\0")[0].decode(errors="replace")
            with open(f"/proc/{entry}/environ", "rb") as f:
                environ = f.read().split(b"\0")
            exe = os.readlink(f"/proc/{entry}/exe")
        except OSError:
            continue
        if ("/wine" in exe and argv0.lower().endswith(exe_name.lower())
                and f"WINEPREFIX={prefix}".encode() in environ):
            return int(entry)
    return None


def cpu_ticks(pid):
    """utime + stime of every thread of the process, in clock ticks."""
    total = 0
    for tid in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{tid}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
        except OSError:
            continue
        total += int(fields[11]) + int(fields[12])
    return total


def thread_count(pid):
    return len(os.listdir(f"/proc/{pid}/task"))


def modules(pid):
    """Names of the libraries mapped into a process (Windows DLLs and Wine's .so parts)."""
    names = set()
    with open(f"/proc/{pid}/maps") as f:
        for line in f:
            path = line.split()[-1] if len(line.split()) >= 6 else ""
            base = os.path.basename(path).lower()
            if base.endswith((".dll", ".so", ".drv", ".exe")) or ".so." in base:
                names.add(base)
    return names


def set_first_launch_done():
    wine("reg", "add", r"HKCU\Software\Selvane", "/v", "FirstLaunch", "/d", "0", "/f")


def measure_idle():
    """CPU ticks over IDLE_SECONDS of Selvane (after one options cycle and a press that
    copied nothing, whose late-copy watch ends inside the measured time) and of the minimal
    program, both idle at the same time."""
    selvane_ticks, minimal_ticks, threads = [], [], []
    extra_modules, start_modules = set(), set()
    for _ in range(IDLE_RUNS):
        procs = [start(os.path.join(RUN, "bin", "Selvane.exe")),
                 start(os.path.join(RUN, "bench", "bench_minimal_tray.exe"))]
        try:
            ctl("wait-icon", *SELVANE, "30000")
            ctl("wait-icon", *MINIMAL, "30000")
            pids = [linux_pid("Selvane.exe"), linux_pid("bench_minimal_tray.exe")]
            if None not in pids:
                start_modules = modules(pids[0]) - modules(pids[1])
            ctl("options-cycle", *SELVANE)
            # A press that copies nothing leaves the late-copy watch (a clipboard listener and
            # a one-shot timer) running into the measured time: its cost counts as idle.
            ctl("press", *SELVANE)
            # The press itself waits 1.5 s for a copy; the measurement starts after it.
            time.sleep(4)
            pids = [linux_pid("Selvane.exe"), linux_pid("bench_minimal_tray.exe")]
            if None in pids:
                raise RuntimeError("cannot find the Linux processes")
            before = [cpu_ticks(p) for p in pids]
            time.sleep(IDLE_SECONDS)
            after = [cpu_ticks(p) for p in pids]
            selvane_ticks.append(after[0] - before[0])
            minimal_ticks.append(after[1] - before[1])
            threads.append(thread_count(pids[0]))
            extra_modules = modules(pids[0]) - modules(pids[1])
        finally:
            ctl("quit", *SELVANE, check=False)
            ctl("quit", *MINIMAL, check=False)
            for p in procs:
                try:
                    p.wait(timeout=20)
                except subprocess.TimeoutExpired:
                    p.kill()
    return selvane_ticks, minimal_ticks, threads, sorted(extra_modules), sorted(start_modules)


def stripped_size(path, strip):
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, "s.exe")
        subprocess.run([strip, "-o", out, path], check=True)
        return os.path.getsize(out)


def section_sizes(path):
    """(name, bytes) of each section of a PE file, as objdump lists them."""
    out = subprocess.run(["i686-w64-mingw32-objdump", "-h", path], check=True,
                         capture_output=True, text=True).stdout
    rows = re.findall(r"^\s*\d+\s+(\S+)\s+([0-9a-f]+)\s", out, re.M)
    return [(name, int(size, 16)) for name, size in rows]


def main():
    print(f"bench: run-time figures of the {RUN_BUILD} build", flush=True)
    set_first_launch_done()
    # One untimed round of each first: Wine starts the shell's tray and loads libraries on
    # first use, which no later start pays again.
    ctl("startup", "1", "0",
        "selvane", os.path.join(RUN, "bin", "Selvane.exe"), *SELVANE,
        "minimal", os.path.join(RUN, "bench", "bench_minimal_tray.exe"), *MINIMAL)

    print("bench: start-up and memory ...", flush=True)
    out = ctl("startup", str(STARTUP_ROUNDS), "1000",
              "selvane", os.path.join(RUN, "bin", "Selvane.exe"), *SELVANE,
              "minimal", os.path.join(RUN, "bench", "bench_minimal_tray.exe"), *MINIMAL)
    startup = values(out, "startup_ms")
    memory = values(out, "working_set_kb")

    print(f"bench: idle for {IDLE_RUNS} x {IDLE_SECONDS} s ...", flush=True)
    idle_selvane, idle_minimal, threads, extra_modules, start_modules = measure_idle()

    print("bench: open-selection command ...", flush=True)
    runs = ("5", "3") if QUICK else ("15", "7")
    osb = wine(os.path.join(RUN, "bench", "bench_open_selection.exe"), *runs)

    def one(key, label=""):
        return values(osb, key)[label][0]

    def fields(key, label):
        """The name=value fields of the line "key label ...", with its first plain number
        under "median"."""
        for line in osb.splitlines():
            parts = line.split()
            if parts[:2] == [key, label]:
                out = {}
                for part in parts[2:]:
                    name, _, value = part.partition("=")
                    if value:
                        out[name] = float(value)
                    else:
                        out.setdefault("median", float(name))
                return out
        raise RuntimeError(f"no {key} {label} in the bench's output")

    print("bench: a relative path with 200 processes running ...", flush=True)
    rel = wine(os.path.join(RUN, "bench", "bench_relative_bases.exe"), "200")

    def relative(label):
        """The distribution of the line "relative LABEL median M min ... ms"."""
        for line in rel.splitlines():
            if line.startswith("relative " + label + " ") and " median " in line:
                words = line.split()
                return {words[i]: float(words[i + 1]) for i in range(len(words) - 1)
                        if words[i] in ("median", "min", "p10", "p90", "max")}
        raise RuntimeError(f"no relative {label} in the bench's output")

    rel_found = relative("found in the shell")
    rel_none = relative("found nowhere")
    rel_list = relative("process list")

    strip_i686 = "i686-w64-mingw32-strip"
    sizes = {}
    for name, path in (("Selvane.exe", os.path.join(I686, "bin", "Selvane.exe")),
                       ("minimal", os.path.join(I686, "bench", "bench_minimal_tray.exe"))):
        sizes[name] = (os.path.getsize(path), stripped_size(path, strip_i686))

    s_start = statistics.median(startup["selvane"])
    m_start = statistics.median(startup["minimal"])
    s_mem = statistics.median(memory["selvane"])
    m_mem = statistics.median(memory["minimal"])
    small = fields("press_ms", "small")
    share = fields("press_share_ms", "small")
    notepad = fields("press_ms", "notepad")
    touched = one("notepad_presses_that_touched_the_clipboard")
    large = one("overhead_ms", "large")
    # The floor: a bare GetClipboardData plus SetClipboardData of the same bitmap, same run.
    floor = one("floor_ms", "large")
    floor_copy = one("floor_copy_ms", "large")
    peak_mb = one("press_peak_mb", "large")
    peak_blocks = one("press_peak_blocks", "large")
    block_mb = one("block_mb", "large")

    def verdict(ok):
        return "met" if ok else "MISSED"

    rows = [
        ("Idle CPU, 30 s after an options cycle and a press that copied nothing (median)",
         f"{statistics.median(idle_selvane):g} ticks (runs {idle_selvane})",
         f"minimal: {statistics.median(idle_minimal):g} ticks", "0 ticks",
         verdict(statistics.median(idle_selvane) == 0)),
        ("Press through the clipboard (CTRL+C), small clipboard: WM_HOTKEY to end of run",
         f"{small['median']:.1f} ms median, {small['p90']:.1f} p90, {small['max']:.1f} max "
         f"({small['runs']:.0f} runs)",
         f"copy's share: key arrives {share['to_key']:.1f} ms, the window copies in "
         f"{share['copy']:.1f} ms, {share['after_copy']:.1f} ms after (medians); "
         "before: ~605 ms", "<= 60 ms median", verdict(small["median"] <= 60)),
        ("Press in Notepad, read directly: WM_HOTKEY to end of run",
         f"{notepad['median']:.2f} ms median, {notepad['p90']:.2f} p90, {notepad['max']:.2f} max "
         f"({notepad['runs']:.0f} runs)",
         f"presses that touched the clipboard: {touched:.0f}", "<= 5 ms median",
         verdict(notepad["median"] <= 5 and touched == 0)),
        ("Press through the clipboard, 32 MB CF_DIB: WM_HOTKEY to end of run",
         f"{large:.0f} ms ({large / floor:.2f}x the floor)",
         f"floor (bare Get + SetClipboardData) {floor:.0f} ms; one copy {floor_copy:.0f} ms",
         "<= 1.5x floor", verdict(large <= 1.5 * floor)),
        ("Relative path, 200 processes running: first base to the decision (found in a "
         "shell's folder)",
         f"{rel_found['median']:.1f} ms median, {rel_found['p10']:.1f} p10, "
         f"{rel_found['p90']:.1f} p90, {rel_found['max']:.1f} max",
         f"found nowhere: {rel_none['median']:.1f} ms median; the system's process list "
         f"alone: {rel_list['median']:.1f} ms", "<= 10 ms median",
         verdict(rel_found["median"] <= 10)),
        ("Memory during the 32 MB press: peak growth",
         f"{peak_mb:.0f} MB ({peak_blocks:.1f}x the block)", f"block: {block_mb:.0f} MB",
         "(reported)", ""),
        ("Start-up to tray icon (median)",
         f"{s_start:.0f} ms ({s_start / m_start:.2f}x)", f"minimal: {m_start:.0f} ms",
         "<= 1.3x", verdict(s_start <= 1.3 * m_start)),
        ("Working set 1 s after start (median)",
         f"{s_mem / 1024:.1f} MB ({s_mem / m_mem:.2f}x)", f"minimal: {m_mem / 1024:.1f} MB",
         "<= 1.15x", verdict(s_mem <= 1.15 * m_mem)),
        ("Selvane.exe i686 static, unstripped / stripped",
         f"{sizes['Selvane.exe'][0] / 1024:.0f} KB / {sizes['Selvane.exe'][1] / 1024:.1f} KB",
         f"minimal: {sizes['minimal'][0] / 1024:.0f} KB / {sizes['minimal'][1] / 1024:.0f} KB",
         "<= 350 KB stripped", verdict(sizes["Selvane.exe"][1] <= 350 * 1024)),
    ]
    detail = [line for line in osb.splitlines()
              if line.split()[0] in ("format", "save_ms", "read_ms", "restore_ms", "snapshot",
                                     "call_ms", "set_clipboard_data_dib_ms", "press_ms",
                                     "press_share_ms",
                                     "notepad_presses_that_touched_the_clipboard", "floor_get_ms", "floor_set_ms",
                                     "floor_copy_ms", "floor_ms", "press_peak_mb", "save_peak_mb",
                                     "block_mb", "memcpy_2x_ms", "memcpy_fresh_2x_ms")]

    header = ("Measure", "Selvane", "Baseline (same run)", "Target", "")
    widths = [max(len(str(r[i])) for r in rows + [header]) for i in range(5)]

    def line(r):
        return " | ".join(str(c).ljust(w) for c, w in zip(r, widths)).rstrip()

    print()
    print(line(header))
    print("-+-".join("-" * w for w in widths))
    for r in rows:
        print(line(r))
    print()
    print("start-up runs (ms): selvane", startup["selvane"], "minimal", startup["minimal"])
    print("Selvane threads while idle:", threads)
    print("Libraries mapped by Selvane but not by the minimal program, 1 s after start:",
          " ".join(start_modules))
    print("... and after an options cycle:", " ".join(extra_modules))
    print("\n".join(detail))
    print("\n".join(line for line in rel.splitlines() if line.startswith("relative ")))

    now = datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M UTC")
    cpu = "unknown CPU"
    try:
        with open("/proc/cpuinfo") as f:
            cpu = re.search(r"model name\s*:\s*(.*)", f.read()).group(1)
    except (OSError, AttributeError):
        pass
    load = open("/proc/loadavg").read().split()[:3]
    wine_version = subprocess.run([WINE, "--version"], capture_output=True,
                                  text=True).stdout.strip()
    md = [
        "# Performance",
        "",
        "Measured by `scripts/bench.sh`" + (" --quick" if QUICK else "") +
        f" on {now}.",
        "",
        f"Machine: {platform.node()}, {os.cpu_count()} CPUs ({cpu}), Linux "
        f"{platform.release()}, {wine_version} on Xvfb; load average at the end "
        f"{' '.join(load)}.",
        "",
        f"Run-time figures are for the {RUN_BUILD} build" +
        (" (the product)" if RUN_BUILD == "i686" else
         " (this machine cannot run 32-bit programs under Wine)") +
        "; sizes are for the i686 product, statically linked. Times are "
        "medians of several runs; each baseline was measured in the same run.",
        "",
        "| " + " | ".join(header[:4]) + " | Verdict |",
        "|---|---|---|---|---|",
    ]
    md += ["| " + " | ".join(str(c) for c in r) + " |" for r in rows]
    with tempfile.TemporaryDirectory() as tmp:
        stripped = os.path.join(tmp, "s.exe")
        subprocess.run([strip_i686, "-o", stripped, os.path.join(I686, "bin", "Selvane.exe")],
                       check=True)
        sections = section_sizes(stripped)
    md += ["", "Libraries mapped by Selvane but not by the minimal program (what most of the "
           "memory difference is): at start " + (", ".join(start_modules) or "none") +
           "; after the options window was opened and closed " + ", ".join(extra_modules) + "."]
    md += ["", "Sections of the stripped i686 Selvane.exe: " +
           ", ".join(f"{name} {size / 1024:.1f} KB" for name, size in sections
                     if size and name != ".bss") + "."]
    md += ["", "Start-up runs (ms): Selvane " + ", ".join(f"{v:.0f}" for v in startup["selvane"])
           + "; minimal " + ", ".join(f"{v:.0f}" for v in startup["minimal"]) + ".", "",
           "Details of the open-selection runs (per step medians, clipboard formats):", "",
           "```"] + detail + ["```", "",
           "The bases of a relative path with 200 idle processes running (ms):", "", "```"] + \
        [line for line in rel.splitlines() if line.startswith("relative ")] + ["```", ""]
    for name in ("NOTES.md", "SIZE_AND_MEMORY.md"):
        notes = os.path.join(TOP, "bench", name)
        if os.path.exists(notes):
            md += [open(notes).read().rstrip(), ""]
    with open(OUT_MD, "w") as f:
        f.write("\n".join(md))
    print(f"\nbench: wrote {OUT_MD}")


if __name__ == "__main__":
    main()
