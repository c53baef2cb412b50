"""End-to-end harness: drives the real Selvane.exe under Wine on Xvfb, as a user and as
another program would. Standard library only.

Paths come from the environment that CTest sets (tests/e2e/CMakeLists.txt):
  SELVANE_EXE   bin/Selvane.exe of the build under test: i686 where Wine runs 32-bit
                programs, x86_64 elsewhere (each module says which as it starts)
  E2E_PROBE     e2e_probe.exe (Win32 queries from another process, see probe.cpp)
  E2E_RECORDER  e2e_recorder.exe (stands in for the shell verbs' programs)
  E2E_SOURCE    e2e_source.exe (a window whose selection is no edit control's)
  E2E_ROOT      Wine root of the module's lane: <build>/e2e-wine-<lane> (display, prefixes,
                shots); the two lanes run side by side (tests/e2e/CMakeLists.txt)
  SELVANE_SOURCE_DIR
Run one module by hand from the build directory: `ctest -R e2e_tray -V`.
The modules of a lane share one display and, unless they choose another PREFIX, one Wine
prefix: end every program a test starts (Notepad, explorer windows) in its tearDown.
Measured here: a probe call ~0.45 s; Selvane's main window ~0.6 s after start, its icon
~0.2 s later; Wine takes ~2 s to delete the last icon of its tray, so an exit takes ~2.2 s.

Writing a test module tests/e2e/test_<name>.py (CTest runs each file as one test):

    import unittest
    from harness import SelvaneTestCase, CMD_QUIT

    class StartTest(SelvaneTestCase):
        def test_quit(self):
            app = self.start()                 # FirstLaunch=0 stored first: no options window
            self.assertTrue(self.desk.hotkey_taken())
            self.desk.send(0x0111, CMD_QUIT)   # WM_COMMAND to the main window
            self.assertEqual(app.wait_exit(), 0)

    if __name__ == "__main__":
        unittest.main(verbosity=2)

SelvaneTestCase (unittest.TestCase)
  cls.desk               the shared Desktop (class attribute PREFIX picks the Wine prefix
                         name; a new name gives the module a fresh prefix, ~20 s)
  setUp                  ends any Selvane left running, dismisses stray boxes, deletes
                         HKCU\\Software\\Selvane and stores FirstLaunch="0"
                         (set FIRST_LAUNCH = True on the class to keep the key absent)
  self.start(*args, cwd=None, wait=True) -> Selvane   started and, with wait, its main
                         window present; stopped again in tearDown
  tearDown               stops what self.start started; saves a screenshot of a failure
                         to $E2E_ROOT/shots/<test id>.png

Desktop (one Xvfb display + one Wine prefix under E2E_ROOT; holds a hidden window for its
         whole life so that Wine's desktop process and its clipboard bridge never restart:
         a restarting bridge empties the clipboard, see docs/CLIPBOARD.md)
  env                    environment for Wine programs (DISPLAY, WINEPREFIX, ...)
  wine(*args, timeout=60, cwd=None) -> CompletedProcess    run a Windows program, wait
  spawn(*args, cwd=None, stdin=None) -> Popen              start one, do not wait
  probe(*args, timeout=30) -> (rc, [lines])                run e2e_probe.exe
  find_window(cls="-", title="-", wait_ms=0) -> (hwnd, pid, visible) or None
  window_gone(cls, title, wait_ms) -> bool
  windows(cls=None) -> [dict(hwnd, pid, visible, cls, title, rect)]   top-level windows
  message_box(title, wait_ms=5000) -> dict(text, owner, icon, buttons) or None
  dismiss_box(title) -> bool             WM_COMMAND IDOK, returns once it is gone
  send(msg, wparam=0, lparam=0, cls="Selvane", title="Selvane") -> int or None
  post(msg, wparam=0, lparam=0, cls="Selvane", title="Selvane") -> bool
        msg may be a number or "reg:Name" for a registered message
  broadcast(name)                        posts registered message `name` to all windows
  icon_present() -> bool                 NIM_MODIFY probe of Selvane's icon (GUID, uID 0)
  delete_icon() -> bool                  NIM_DELETE of Selvane's icon from outside
  tray_geometry() -> (x, y, w, h) or None   the "Wine System Tray" X window
  right_click_tray_icon() / click_tray_icon(button, repeat=1)   real X clicks on our
        (first) icon; repeat=2 double-clicks
  popup_menu(wait_ms=3000) -> dict(rect=(l, t, r, b)) or None   the visible popup menu
  balloons(wait_ms=0) -> [(title, text)]   visible balloons (tooltips of the shell); waits
        up to wait_ms for the first one. Wine 8's tooltips do not answer TTM_GETTITLE, so
        the title reads "" there; check titles at the Win32 level. A balloon appears ~1-2 s
        after the request and stays at least ~10 s (or until the program ends).
  hotkey_taken(mods=0xA, vk=0x4F) -> bool  another process cannot register it
  hold_hotkey(mods, vk) -> context manager; holds it in a separate process
  reg_get(key, name) -> str or None; reg_set(key, name, data); reg_delete(key);
        reg_exists(key)       all under HKEY_CURRENT_USER, REG_SZ
  reset_settings(first_launch=False, **values)   fresh settings key with these values
  clipboard_set(text, fmt=None, data=None); clipboard_get(fmt=None) -> dict
        with "text", fmt, "formats" (not counting the put-back markers), "markers" (how
        many of the three it holds) and "seq" (the clipboard's sequence number)
  open_source(log_path, text, cls=None, selected=True, delay_ms=0) -> (Popen, X window id)
        starts e2e_source: a window showing `text` as selected (or not), copying it on
        CTRL+C and CTRL+INSERT (after delay_ms), registered under `cls` when given (a
        terminal's class), writing the keys it receives to log_path ("key 43+ctrl")
  watch_injected_keys() -> context manager yielding a list, filled at the end with the
        "VK up|down" of every key a program injected meanwhile (a low-level hook)
  xdotool(*args) -> str; key(*keys); click(x, y, button=1, repeat=1); screenshot(name) -> path
  open_in_notepad(path, text=None, wait_s=30) -> (Popen, X window id or None)
        writes `text` to `path` first when given (UTF-8 with a byte order mark, so that
        Notepad reads it as UTF-8 whatever its guess), then shows the file in Notepad
  redirect_shell_verbs(log_path)   explore/open of folders, open of .txt files,
        http/https addresses (verb "url") and mailto addresses (verb "mail") start
        e2e_recorder, which appends "VERB ARG" lines to log_path;
        recorded(log_path, count=1, wait_s=10) -> [lines] polls until the log has at least
        `count` lines (the shell starts programs asynchronously, ~1-3 s), returns them all
  win_path(linux_path) -> "Z:\\..."
  wait_until(test, wait_s=10, interval=0.2) -> bool   polls a callable until it is true
  gui_resources(pid) -> (gdi, user)
  hold_window(cls, title) -> context manager; a hidden window of another process

Selvane (one started copy)
  wait_main_window(timeout=20) -> hwnd; running() -> bool
  wait_exit(timeout=20) -> exit code as Linux sees it (low 8 bits: -1 is 255) or None
  stop()   class menu Exit (command 105) and, failing that, kill
"""

import contextlib
import os
import subprocess
import sys
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_DIR = os.environ.get("SELVANE_SOURCE_DIR", os.path.dirname(os.path.dirname(HERE)))
SELVANE_EXE = os.environ.get("SELVANE_EXE", "")
PROBE_EXE = os.environ.get("E2E_PROBE", "")
RECORDER_EXE = os.environ.get("E2E_RECORDER", "")
SOURCE_EXE = os.environ.get("E2E_SOURCE", "")
E2E_ROOT = os.environ.get("E2E_ROOT", "")

SETTINGS_KEY = r"Software\Selvane"
TRAY_GUID = "{F6AD0683-9189-4A0C-AC7D-F4D72D4C0737}"
WM_CLOSE = 0x0010
WM_COMMAND = 0x0111
WM_HOTKEY = 0x0312
CMD_ABOUT = 104
CMD_EXIT = 105
CMD_OPTIONS = 32775
CMD_QUIT = 32776
MOD_ALT, MOD_CONTROL, MOD_SHIFT, MOD_WIN = 1, 2, 4, 8
DEFAULT_MODS, DEFAULT_VK = MOD_CONTROL | MOD_WIN, 0x4F


def exe_build(path):
    """'i686' or 'x86_64' by the machine field of a Windows program's PE header."""
    try:
        with open(path, "rb") as f:
            head = f.read(4096)
        pe = int.from_bytes(head[0x3C:0x40], "little")
        machine = int.from_bytes(head[pe + 4:pe + 6], "little")
    except (OSError, ValueError):
        return "unknown"
    return {0x14C: "i686", 0x8664: "x86_64"}.get(machine, "machine 0x%x" % machine)


_announced = False


def announce_build():
    """Says once per module which build of Selvane.exe it drives."""
    global _announced
    if not _announced:
        _announced = True
        sys.stderr.write("e2e: driving the %s build, %s\n" % (exe_build(SELVANE_EXE), SELVANE_EXE))
        sys.stderr.flush()


def win_path(path):
    """Wine maps the Linux root to drive Z:."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def reg_string(text):
    """`text` as a string value of a REGEDIT4 file."""
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


class Desktop:
    _shared = {}

    @classmethod
    def shared(cls, prefix="prefix"):
        if prefix not in cls._shared:
            cls._shared[prefix] = Desktop(prefix)
        return cls._shared[prefix]

    def __init__(self, prefix="prefix"):
        for name, value in (("SELVANE_EXE", SELVANE_EXE), ("E2E_PROBE", PROBE_EXE),
                            ("E2E_ROOT", E2E_ROOT)):
            if not value:
                raise RuntimeError(name + " is not set; run the e2e tests through CTest")
        self.root = E2E_ROOT
        os.makedirs(self.root, exist_ok=True)
        script = ('. "%s/cmake/wine-env.sh" && selvane_wine_env "%s" "%s" >&2 && env -0'
                  % (SOURCE_DIR, self.root, prefix))
        out = subprocess.run(["bash", "-c", script], stdout=subprocess.PIPE,
                             stdin=subprocess.DEVNULL, check=True, timeout=300).stdout
        self.env = dict(item.split("=", 1) for item in out.decode().split("\0") if "=" in item)
        self.loader = self.env["SELVANE_WINE"]
        # Wine's own output (its WINEDEBUG channels) goes to $SELVANE_WINE_LOG when set.
        log = os.environ.get("SELVANE_WINE_LOG")
        self.wine_log = open(log, "ab") if log else subprocess.DEVNULL
        # The first program of a fresh server waits for Wine's services; pay that here.
        self.probe("list", timeout=120)
        self._keep_clipboard_bridge()

    def _keep_clipboard_bridge(self):
        """Wine's desktop process, which runs its X11 clipboard bridge, ends a moment after
        the last Wine program with a window, and the next program starts it again. A new
        bridge empties the clipboard while it takes in the X selection, at a moment of its
        own (seconds late under load): a clipboard set by a test, or restored by Selvane,
        could vanish. A hidden window held for the whole session keeps one bridge running,
        and nothing touches the clipboard before that bridge has settled."""
        self.keeper = self.spawn(PROBE_EXE, "hold-window", "SelvaneE2EKeeper", "e2e keeper",
                                 stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        if self.keeper.stdout.readline().decode().strip() != "ready":
            raise RuntimeError("could not start the window that keeps Wine's desktop running")
        if self.probe("clip-bridge", 60000, timeout=90)[0] != 0:
            raise RuntimeError("Wine's clipboard bridge did not start")

    @staticmethod
    def wait_until(test, wait_s=10, interval=0.2):
        deadline = time.time() + wait_s
        while not test():
            if time.time() >= deadline:
                return False
            time.sleep(interval)
        return True

    # Programs -----------------------------------------------------------------------------
    def wine(self, *args, timeout=60, cwd=None):
        return subprocess.run([self.loader] + [str(a) for a in args], env=self.env, cwd=cwd,
                              stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=self.wine_log, timeout=timeout)

    def spawn(self, *args, cwd=None, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL):
        return subprocess.Popen([self.loader] + [str(a) for a in args], env=self.env, cwd=cwd,
                                stdin=stdin, stdout=stdout, stderr=self.wine_log)

    def probe(self, *args, timeout=30):
        done = self.wine(PROBE_EXE, *args, timeout=timeout)
        lines = done.stdout.decode("utf-8", "replace").replace("\r", "").splitlines()
        return done.returncode, lines

    # Windows and messages -------------------------------------------------------------------
    def find_window(self, cls="-", title="-", wait_ms=0):
        rc, lines = self.probe("find", cls, title, wait_ms)
        if rc != 0 or not lines:
            return None
        hwnd, pid, visible = lines[0].split()
        return int(hwnd, 16), int(pid), visible == "1"

    def window_gone(self, cls, title, wait_ms):
        return self.probe("gone", cls, title, wait_ms)[0] == 0

    def windows(self, cls=None):
        rc, lines = self.probe("list", *([cls] if cls else []))
        found = []
        for line in lines:
            parts = line.split("\t")
            if len(parts) < 6:
                continue
            found.append(dict(hwnd=int(parts[0], 16), pid=int(parts[1]), visible=parts[2] == "1",
                              cls=parts[3], title=parts[4],
                              rect=tuple(int(v) for v in parts[5].split())))
        return found

    def message_box(self, title, wait_ms=5000):
        rc, lines = self.probe("msgbox", title, wait_ms)
        if rc != 0:
            return None
        info = dict(line.split("=", 1) for line in lines if "=" in line)
        info["icon"] = info.get("icon") == "1"
        info["buttons"] = [b for b in info.get("buttons", "").split(",") if b]
        return info

    def dismiss_box(self, title):
        return self.probe("click-ok", title)[0] == 0

    def send(self, msg, wparam=0, lparam=0, cls="Selvane", title="Selvane"):
        rc, lines = self.probe("send", cls, title, msg, wparam, lparam)
        return int(lines[0]) if rc == 0 and lines else None

    def post(self, msg, wparam=0, lparam=0, cls="Selvane", title="Selvane"):
        return self.probe("post", cls, title, msg, wparam, lparam)[0] == 0

    def broadcast(self, name):
        return self.probe("broadcast", name)[0] == 0

    # Tray ---------------------------------------------------------------------------------
    def icon_present(self):
        return self.probe("icon", "modify", "Selvane", "Selvane", TRAY_GUID)[0] == 0

    def delete_icon(self):
        return self.probe("icon", "delete", "Selvane", "Selvane", TRAY_GUID)[0] == 0

    def tray_geometry(self):
        out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "Wine System Tray",
                              "getwindowgeometry", "--shell", "%@"], env=self.env,
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout.decode()
        values = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
        if "X" not in values:
            return None
        return tuple(int(values[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))

    def click_tray_icon(self, button=1, wait_s=10, repeat=1):
        """Clicks the first icon of the tray (ours, when it is the only one); repeat=2 is a
        double-click."""
        deadline = time.time() + wait_s
        geometry = self.tray_geometry()
        while geometry is None and time.time() < deadline:
            time.sleep(0.2)
            geometry = self.tray_geometry()
        if geometry is None:
            raise AssertionError("no Wine System Tray window")
        x, y, w, h = geometry
        self.click(x + min(w, h) // 2, y + h // 2, button, repeat)

    def right_click_tray_icon(self):
        self.click_tray_icon(3)

    def popup_menu(self, wait_ms=3000):
        rc, lines = self.probe("menu", wait_ms)
        if rc != 0:
            return None
        info = dict(line.split("=", 1) for line in lines if "=" in line)
        info["rect"] = tuple(int(v) for v in info["rect"].split())
        return info

    def balloons(self, wait_ms=0):
        rc, lines = self.probe("balloons", wait_ms)
        shown = []
        for line in lines:
            title, _, text = line.partition("\t")
            shown.append((title[len("title="):], text[len("text="):]))
        return shown

    # Hotkeys ------------------------------------------------------------------------------
    def hotkey_taken(self, mods=DEFAULT_MODS, vk=DEFAULT_VK):
        return self.probe("hotkey-try", mods, vk)[0] == 1

    @contextlib.contextmanager
    def hold_hotkey(self, mods=DEFAULT_MODS, vk=DEFAULT_VK):
        holder = self.spawn(PROBE_EXE, "hotkey-hold", mods, vk, stdin=subprocess.PIPE,
                            stdout=subprocess.PIPE)
        try:
            state = holder.stdout.readline().decode().strip()
            if state != "held":
                raise AssertionError("could not hold the hotkey: %r" % state)
            yield holder
        finally:
            holder.stdin.close()
            holder.wait(timeout=20)
            holder.stdout.close()

    @contextlib.contextmanager
    def hold_window(self, cls, title):
        holder = self.spawn(PROBE_EXE, "hold-window", cls, title, stdin=subprocess.PIPE,
                            stdout=subprocess.PIPE)
        try:
            if holder.stdout.readline().decode().strip() != "ready":
                raise AssertionError("could not create the window %s/%s" % (cls, title))
            yield holder
        finally:
            holder.stdin.close()
            holder.wait(timeout=20)
            holder.stdout.close()

    # Registry and settings -------------------------------------------------------------------
    def reg_get(self, key, name):
        rc, lines = self.probe("reg-get", key, name)
        return (lines[0] if lines else "") if rc == 0 else None

    def reg_set(self, key, name, data):
        if self.probe("reg-set", key, name, data)[0] != 0:
            raise AssertionError("could not write %s\\%s" % (key, name))

    def reg_delete(self, key):
        return self.probe("reg-del", key)[0] == 0

    def reg_exists(self, key):
        return self.probe("reg-exists", key)[0] == 0

    def reset_settings(self, first_launch=False, **values):
        self.reg_delete(SETTINGS_KEY)
        if not first_launch:
            values.setdefault("FirstLaunch", "0")
        for name, data in values.items():
            self.reg_set(SETTINGS_KEY, name, data)

    # Clipboard ----------------------------------------------------------------------------
    def clipboard_set(self, text, fmt=None, data=None):
        args = [text] + ([fmt, data] if fmt else [])
        if self.probe("clip-set", *args)[0] != 0:
            raise AssertionError("could not set the clipboard")

    def clipboard_get(self, fmt=None):
        rc, lines = self.probe("clip-get", *([fmt] if fmt else []))
        return dict(line.split("=", 1) for line in lines if "=" in line)

    def open_source(self, log_path, text, cls=None, selected=True, delay_ms=0, wait_s=20,
                    title=None, extra=()):
        """`title`: what the window's title starts with (a document's path, say), before
        the unique name it is found by; `extra`: more of its options (source_window.cpp)."""
        if os.path.exists(log_path):
            os.remove(log_path)
        name = "e2e source %d" % int(time.time() * 1000)
        args = [SOURCE_EXE, win_path(log_path), (title + " - " if title else "") + name, text]
        args += list(extra)
        if cls:
            args += ["--class", cls]
        if not selected:
            args.append("--unselected")
        if delay_ms:
            args += ["--delay", delay_ms]
        process = self.spawn(*args)
        return process, self.x_window_named(name, wait_s)

    @contextlib.contextmanager
    def watch_injected_keys(self):
        watcher = self.spawn(PROBE_EXE, "watch-keys", stdin=subprocess.PIPE,
                             stdout=subprocess.PIPE)
        seen = []
        try:
            if watcher.stdout.readline().decode().strip() != "ready":
                raise AssertionError("could not watch the keys")
            yield seen
        finally:
            watcher.stdin.close()
            out = watcher.stdout.read().decode("utf-8", "replace")
            watcher.wait(timeout=20)
            watcher.stdout.close()
            seen += [line.strip()[len("injected "):] for line in out.splitlines()
                     if line.startswith("injected ")]

    # X input and screenshots ---------------------------------------------------------------
    def xdotool(self, *args):
        return subprocess.run(["xdotool"] + [str(a) for a in args], env=self.env,
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                              timeout=30).stdout.decode()

    def key(self, *keys):
        self.xdotool("key", "--clearmodifiers", *keys)

    def x_window_named(self, name, wait_s):
        """The first visible X window whose name matches `name`, waited for; None if none."""
        deadline = time.time() + wait_s
        while True:
            found = self.xdotool("search", "--onlyvisible", "--name", name).split()
            if found or time.time() >= deadline:
                return found[0] if found else None
            time.sleep(0.2)

    def open_in_notepad(self, path, text=None, wait_s=30):
        """Starts Notepad on the Linux file `path`; returns (Popen, X window id or None)."""
        if text is not None:
            with open(path, "w", encoding="utf-8-sig", newline="") as f:
                f.write(text)
        process = self.spawn("notepad", win_path(path))
        name = os.path.basename(path)
        return process, self.x_window_named(name, wait_s)

    def click(self, x, y, button=1, repeat=1):
        # Two clicks 80 ms apart make a double-click (the system's limit is 500 ms).
        self.xdotool("mousemove", x, y, "click", "--repeat", repeat, "--delay", 80, button)

    def screenshot(self, name):
        shots = os.path.join(self.root, "shots")
        os.makedirs(shots, exist_ok=True)
        path = os.path.join(shots, name + ".png")
        subprocess.run(["import", "-display", self.env["DISPLAY"], "-window", "root", path],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)
        return path

    # Shell verbs ----------------------------------------------------------------------------
    def import_reg(self, name, lines):
        """Imports the REGEDIT4 `lines` (keys and values) into the prefix's registry."""
        reg_file = os.path.join(self.root, name)
        with open(reg_file, "w", newline="\r\n") as f:
            f.write("\n".join(["REGEDIT4", ""] + lines) + "\n")
        if self.wine("regedit", "/S", win_path(reg_file)).returncode != 0:
            raise AssertionError("could not import " + name)

    def redirect_shell_verbs(self, log_path):
        def command(verb):
            return reg_string('"%s" "%s" %s "%%1"' % (win_path(RECORDER_EXE),
                                                      win_path(log_path), verb))

        lines = []
        for key, verb in (("Folder\\shell\\explore", "explore"), ("Folder\\shell\\open", "open"),
                          ("Directory\\shell\\explore", "explore"),
                          ("Directory\\shell\\open", "open"),
                          ("txtfile\\shell\\open", "open"), ("http\\shell\\open", "url"),
                          ("https\\shell\\open", "url"), ("mailto\\shell\\open", "mail")):
            lines += ["[-HKEY_CLASSES_ROOT\\%s\\ddeexec]" % key,
                      "[HKEY_CLASSES_ROOT\\%s\\command]" % key, "@=" + command(verb), ""]
        lines += ["[HKEY_CLASSES_ROOT\\.txt]", '@="txtfile"', ""]
        self.import_reg("verbs.reg", lines)

    def recorded(self, log_path, count=1, wait_s=10):
        deadline = time.time() + wait_s
        while True:
            lines = []
            if os.path.exists(log_path):
                with open(log_path, encoding="utf-8") as f:
                    lines = [line.rstrip("\r\n") for line in f if line.strip()]
            if len(lines) >= count or time.time() >= deadline:
                return lines
            time.sleep(0.2)

    def gui_resources(self, pid):
        rc, lines = self.probe("gui-resources", pid)
        if rc != 0 or not lines:
            return None
        values = dict(part.split("=") for part in lines[0].split())
        return int(values["gdi"]), int(values["user"])


class Selvane:
    def __init__(self, desk, args=(), cwd=None):
        self.desk = desk
        self.process = desk.spawn(SELVANE_EXE, *args, cwd=cwd)

    def running(self):
        return self.process.poll() is None

    def wait_main_window(self, timeout=20):
        found = self.desk.find_window("Selvane", "Selvane", int(timeout * 1000))
        return found[0] if found else None

    def wait_exit(self, timeout=20):
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None

    def stop(self):
        if not self.running():
            return
        for _ in range(3):
            if not self.desk.dismiss_box("Selvane"):
                break
        self.desk.post(WM_COMMAND, CMD_EXIT)
        if self.wait_exit(10) is None:
            self.process.kill()
            self.process.wait(timeout=10)


class SelvaneTestCase(unittest.TestCase):
    PREFIX = "prefix"
    FIRST_LAUNCH = False

    @classmethod
    def setUpClass(cls):
        announce_build()
        cls.desk = Desktop.shared(cls.PREFIX)

    def setUp(self):
        self.started_at = time.time()
        self.started = []
        self._end_strays()
        self.desk.reset_settings(first_launch=self.FIRST_LAUNCH)

    def tearDown(self):
        outcome = getattr(self, "_outcome", None)
        failed = False
        if outcome is not None:
            errors = getattr(outcome, "errors", None)
            if errors is None:  # Python 3.11 and later
                result = getattr(outcome, "result", None)
                failed = result is not None and any(
                    test is self for test, _ in result.failures + result.errors)
            else:
                failed = any(error for _, error in errors)
        if failed:
            path = self.desk.screenshot(self.id().split(".")[-1])
            sys.stderr.write("screenshot: %s\n" % path)
        for app in self.started:
            app.stop()
        # Where the tier's time goes (ctest -V shows it); measured, never asserted.
        sys.stderr.write("e2e: %.1f s %s\n" % (time.time() - self.started_at,
                                               self.id().split(".", 1)[-1]))

    def start(self, *args, cwd=None, wait=True):
        app = Selvane(self.desk, args, cwd)
        self.started.append(app)
        if wait:
            self.assertIsNotNone(app.wait_main_window(), "Selvane's main window did not appear")
        return app

    def _end_strays(self):
        """A copy left by an earlier test or module would make this one a second copy."""
        for _ in range(5):
            found = self.desk.find_window("Selvane", "Selvane")
            if found is None:
                return
            for _ in range(3):
                if not self.desk.dismiss_box("Selvane"):
                    break
            self.desk.post(WM_COMMAND, CMD_EXIT)
            self.desk.window_gone("Selvane", "Selvane", 5000)
        raise AssertionError("a Selvane from an earlier test does not end")
