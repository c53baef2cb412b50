#!/usr/bin/env python3
"""Soak: many hotkey presses in a row on alternating folder / file / web address /
not-found selections, through the e2e harness (real Notepad, real X key events, shell
verbs redirected to a recorder). After every press the clipboard must be exactly what it
was (every format, size and bytes), the expected target opened (or nothing, for the
not-found text), and Selvane still running; at the end its GDI objects and windows must
number what they did at the start.

Usage (see scripts/soak.sh, which builds and sets the environment): soak.py [PRESSES]
"""
import os
import shutil
import struct
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                                "tests", "e2e"))
from harness import E2E_ROOT, SELVANE_EXE, Desktop, Selvane, win_path  # noqa: E402

PRESSES = int(sys.argv[1]) if len(sys.argv) > 1 else 200
BENCH_CTL = os.path.join(os.path.dirname(os.path.dirname(SELVANE_EXE)), "bench",
                         "bench_ctl.exe")
PRIVATE_FORMAT = "SelvaneSoakPrivate"


def ctl(desk, *args):
    done = desk.wine(BENCH_CTL, *args, timeout=60)
    if done.returncode != 0:
        raise RuntimeError("bench_ctl %s failed" % args[0])
    return done.stdout.decode("utf-8", "replace").replace("\r", "")


def counts(desk):
    out = dict(line.split() for line in ctl(desk, "gui-resources", "Selvane", "Selvane")
               .splitlines() if len(line.split()) == 2)
    return {k: int(v) for k, v in out.items()}


def small_dib():
    """A 16 x 16, 32-bit device-independent bitmap: the clipboard also offers it as a
    bitmap object and as CF_DIBV5, so GDI copies are made and released on every press."""
    header = struct.pack("<IiiHHIIiiII", 40, 16, 16, 1, 32, 0, 16 * 16 * 4, 0, 0, 0, 0)
    pixels = bytes((i * 37) & 0xFF for i in range(16 * 16 * 4))
    return (header + pixels).hex()


def main():
    desk = Desktop.shared("soak")
    fixture = os.path.join(E2E_ROOT, "soak")
    shutil.rmtree(fixture, ignore_errors=True)
    folder = os.path.join(fixture, "folder")
    os.makedirs(folder)
    text_file = os.path.join(fixture, "notes.txt")
    with open(text_file, "w") as f:
        f.write("notes\n")
    log = os.path.join(fixture, "verbs.log")
    desk.redirect_shell_verbs(log)
    desk.reset_settings()

    kinds = [  # selection, what the recorder must log (None: nothing opens)
        ("folder", win_path(folder), 'explore "%s"' % win_path(folder)),
        ("file", win_path(text_file), 'open "%s"' % win_path(text_file)),
        ("url", "http://example.com/soak?x=1", 'url "http://example.com/soak?x=1"'),
        ("not-found", r"Q:\no\such\place", None),
    ]
    notepads, windows = [], []
    app = None
    failures = []
    try:
        if desk.find_window("Selvane", "Selvane"):
            raise RuntimeError("a Selvane runs already on the soak display")
        app = Selvane(desk)
        if not app.wait_main_window():
            raise RuntimeError("Selvane did not start")
        desk.wait_until(desk.icon_present, 10)
        for name, selection, _ in kinds:
            path = os.path.join(fixture, name + ".sel.txt")
            process, window = desk.open_in_notepad(path, selection)
            notepads.append(process)
            if window is None:
                raise RuntimeError("Notepad did not show the %s selection" % name)
            # Side by side, so that a click can reach each: Wine does not move its
            # foreground window on X focus changes alone, but activates a clicked window.
            index = len(windows)
            desk.xdotool("windowsize", window, 600, 400)
            x, y = 20 + 620 * (index % 2), 40 + 460 * (index // 2)
            desk.xdotool("windowmove", window, x, y)
            windows.append((x + 300, y + 200))

        ctl(desk, "clip-put", "CF_UNICODETEXT", "clipboard before\0".encode("utf-16-le").hex(),
            PRIVATE_FORMAT, "0102fffe", "CF_DIB", small_dib())
        before = ctl(desk, "clip-dump")
        first_counts = counts(desk)
        start_counts = first_counts
        opened = 0
        t0 = time.time()
        for press in range(PRESSES):
            name, selection, expected = kinds[press % len(kinds)]
            desk.click(*windows[press % len(kinds)])
            desk.key("ctrl+a")
            desk.key("ctrl+super+o")
            if expected:
                opened += 1
                lines = desk.recorded(log, opened, 20)
                if len(lines) != opened or lines[-1] != expected:
                    failures.append("press %d (%s): recorded %r" % (press, name, lines[-1:]))
                    opened = len(lines)
            else:
                time.sleep(2.0)
                if len(desk.recorded(log, opened + 1, 0)) != opened:
                    failures.append("press %d (%s): something was opened" % (press, name))
                    opened = len(desk.recorded(log, opened + 1, 0))
            after = ctl(desk, "clip-dump")
            if after != before:
                failures.append("press %d (%s): clipboard differs:\n%s" % (press, name, after))
            if not app.running():
                failures.append("press %d (%s): Selvane ended" % (press, name))
                break
            if press + 1 == len(kinds):
                # Counted again after one press of each kind: what the system creates once,
                # on first use (the shell's caches, for instance), is no leak.
                start_counts = counts(desk)
            if (press + 1) % 20 == 0:
                print("soak: %d presses, %d failures, %.0f s" %
                      (press + 1, len(failures), time.time() - t0), flush=True)
        end_counts = counts(desk)
        # GetGuiResources as the probe reports it (Wine 8 does not keep these counts).
        found = desk.find_window("Selvane", "Selvane")
        reported = desk.gui_resources(found[1]) if found else None
    finally:
        for notepad in notepads:
            if notepad.poll() is None:
                notepad.kill()
                notepad.wait(timeout=10)
        if app:
            app.stop()

    print()
    print("presses                       %d" % PRESSES)
    print("clipboard before              " + before.strip().replace("\n", "; "))
    print("GDI objects (handle table)    before the first press %d, after one of each kind %d, "
          "end %d" % (first_counts["gdi_table_entries"], start_counts["gdi_table_entries"],
                      end_counts["gdi_table_entries"]))
    print("windows of the process        before the first press %d, after one of each kind %d, "
          "end %d" % (first_counts["windows"], start_counts["windows"], end_counts["windows"]))
    print("GetGuiResources GDI/USER      start %d/%d, end %s (error %d: not kept by Wine)" %
          (start_counts["gdi_objects"], start_counts["user_objects"], reported,
           start_counts["gui_resources_error"]))
    if start_counts["gdi_table_entries"] != end_counts["gdi_table_entries"]:
        failures.append("GDI objects: %d at the start, %d at the end" %
                        (start_counts["gdi_table_entries"], end_counts["gdi_table_entries"]))
    if start_counts["windows"] != end_counts["windows"]:
        failures.append("windows: %d at the start, %d at the end" %
                        (start_counts["windows"], end_counts["windows"]))
    print("failures                      %d" % len(failures))
    for failure in failures[:20]:
        print("  " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
