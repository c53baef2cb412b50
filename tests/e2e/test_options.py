"""The options window as a user meets it: the real Selvane.exe, real clicks and key
events on its tabs and controls; its state read from outside by options_probe.exe."""

import ctypes
import os
import subprocess
import time
import unittest

from harness import (CMD_OPTIONS, DEFAULT_MODS, DEFAULT_VK, MOD_ALT, MOD_CONTROL, MOD_SHIFT,
                     SELVANE_EXE, SETTINGS_KEY, WM_CLOSE, WM_COMMAND, SelvaneTestCase)

BUILD_DIR = os.path.dirname(os.path.dirname(os.path.abspath(SELVANE_EXE or ".")))
OPTIONS_PROBE = os.path.join(BUILD_DIR, "tests", "win32", "options_probe.exe")
EDITOR_KEY = r"Software\Microsoft\Windows\CurrentVersion\Applets\Regedit"
CLOSE_BALLOON = ("Selvane is not closed but active as an icon in the trray. Please right click "
                 "on this icon to access options")
HOTKEY_TAKEN = ("The hotkey could not be changed,please make sure another application is not "
                "using it.")
VK_J, VK_K = 0x4A, 0x4B


def center(rect):
    left, top, right, bottom = (int(v) for v in rect.split())
    return (left + right) // 2, (top + bottom) // 2


class _XClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("data", ctypes.c_long * 5)]


class _XEvent(ctypes.Union):
    _fields_ = [("xclient", _XClientMessage), ("pad", ctypes.c_long * 24)]


def press_close_box(display, window):
    """What a window manager sends when its close box is clicked: WM_DELETE_WINDOW.
    Without a window manager Wine draws no caption of its own to click."""
    x11 = ctypes.cdll.LoadLibrary("libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                               ctypes.POINTER(_XEvent)]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    connection = x11.XOpenDisplay(display.encode())
    if not connection:
        raise AssertionError("cannot open display " + display)
    event = _XEvent()
    event.xclient.type = 33  # ClientMessage
    event.xclient.window = window
    event.xclient.message_type = x11.XInternAtom(connection, b"WM_PROTOCOLS", 0)
    event.xclient.format = 32
    event.xclient.data[0] = x11.XInternAtom(connection, b"WM_DELETE_WINDOW", 0)
    x11.XSendEvent(connection, window, 0, 0, ctypes.byref(event))
    x11.XFlush(connection)
    x11.XCloseDisplay(connection)


class OptionsTestCase(SelvaneTestCase):
    @classmethod
    def setUpClass(cls):
        if not os.path.exists(OPTIONS_PROBE):
            raise AssertionError(OPTIONS_PROBE + " is not built (target options_probe)")
        super().setUpClass()

    def state(self):
        done = self.desk.wine(OPTIONS_PROBE, "state")
        if done.returncode != 0:
            return None
        lines = done.stdout.decode("utf-8", "replace").replace("\r", "").splitlines()
        return dict(line.split("=", 1) for line in lines if "=" in line)

    def box_text(self, wait_s=8):
        lines = []

        def found():
            done = self.desk.wine(OPTIONS_PROBE, "box")
            lines[:] = done.stdout.decode("utf-8", "replace").replace("\r", "").splitlines()
            return done.returncode == 0

        if not self.desk.wait_until(found, wait_s, interval=0.3):
            return None
        return dict(line.split("=", 1) for line in lines if "=" in line).get("text")

    def close_options(self):
        ids = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Selvane$"],
                             env=self.desk.env, stdout=subprocess.PIPE,
                             stderr=subprocess.DEVNULL).stdout.decode().split()
        self.assertEqual(len(ids), 1, "expected one visible X window named Selvane")
        press_close_box(self.desk.env["DISPLAY"], int(ids[0]))

    def wait_state(self, test, wait_s=10):
        """Polls until test(state) holds; returns the last state seen."""
        last = [None]

        def check():
            last[0] = self.state()
            return last[0] is not None and test(last[0])

        self.desk.wait_until(check, wait_s, interval=0.3)
        return last[0]

    def open_options(self):
        self.desk.send(WM_COMMAND, CMD_OPTIONS)
        state = self.wait_state(lambda s: s["visible"] == "1")
        self.assertIsNotNone(state, "no options window")
        self.assertEqual(state["visible"], "1")
        return state

    def click(self, rect):
        x, y = center(rect)
        self.desk.click(x, y)

    def select_tab(self, index, shift=False):
        """Real clicks along the tab strip until tab `index` is the selected one."""
        state = self.state()
        left, top, right, bottom = (int(v) for v in state["tabs.rect"].split())
        y = (top + bottom) // 2
        x = left + 10
        while x < right:
            if shift:
                self.desk.xdotool("mousemove", x, y, "keydown", "shift", "click", "1",
                                  "keyup", "shift")
            else:
                self.desk.click(x, y)
            state = self.state()
            if state["tabs.selected"] == str(index):
                return state
            x += 25
        self.fail("tab %d not found by clicking" % index)

    def type_in_hotkey_control(self, *keys):
        self.click(self.state()["hotkey.rect"])
        self.desk.xdotool("key", *keys)
        time.sleep(0.3)


class FirstLaunch(OptionsTestCase):
    FIRST_LAUNCH = True

    def test_opens_on_the_welcome_tab_once(self):
        self.start()
        state = self.wait_state(lambda s: s["visible"] == "1")
        self.assertIsNotNone(state, "no options window at the first launch")
        self.assertEqual(state["tabs.count"], "3")
        self.assertEqual(state["tabs.selected"], "0")
        self.assertEqual(state["pages"], "W")
        self.assertTrue(self.desk.wait_until(
            lambda: self.desk.reg_get(SETTINGS_KEY, "FirstLaunch") == "0"))
        for app in self.started:
            app.stop()
        self.started = []

        self.start()
        time.sleep(2)
        self.assertIsNone(self.state(), "the options window opened again")

    def test_keyboard_focus_stays_on_visible_controls(self):
        self.start()
        state = self.wait_state(lambda s: s["visible"] == "1" and s["focus"] == "1005")
        self.assertEqual((state["focus"], state["focus.visible"]), ("1005", "1"))
        self.desk.xdotool("search", "--sync", "--onlyvisible", "--name", "^Selvane$",
                          "windowfocus", "--sync")
        self.desk.key("space")  # on the tab strip: no hidden box toggled
        state = self.state()
        self.assertEqual((state["win"], state["apply"]), ("1", "0"))
        # Tab and Shift+Tab go through the shown page's controls and back to the strip.
        self.select_tab(1)
        for key, focus in (("Tab", "1002"), ("Tab", "1003"), ("shift+Tab", "1002"),
                           ("shift+Tab", "1005")):
            self.desk.key(key)
            state = self.wait_state(lambda s: s["focus"] == focus, wait_s=3)
            self.assertEqual((state["focus"], state["focus.visible"]), (focus, "1"), key)
        self.select_tab(2)
        self.desk.key("Tab")  # nothing to reach on About but the strip itself
        state = self.state()
        self.assertEqual((state["focus"], state["focus.visible"]), ("1005", "1"))
        # Enter on a focused page button presses it; Escape closes as the close box does.
        self.select_tab(1)
        for key, focus in (("Tab", "1002"), ("Tab", "1003"), ("ctrl+k", "1003"), ("Tab", "1004")):
            self.desk.key(key)
            state = self.wait_state(lambda s: s["focus"] == focus and s["apply"] == "1", wait_s=3)
        self.assertEqual((state["focus"], state["apply"]), ("1004", "1"))
        self.desk.key("Return")
        self.assertTrue(self.desk.wait_until(
            lambda: self.desk.reg_get(SETTINGS_KEY, "OpenSelectionHotkey") == str(VK_K)))
        self.desk.key("Escape")
        self.assertEqual(self.wait_state(lambda s: s["visible"] == "0")["visible"], "0")


class Closing(OptionsTestCase):
    def test_close_box_hides_with_balloon_and_options_brings_it_back_as_it_was(self):
        self.start()
        self.open_options()
        self.select_tab(1)
        self.click(self.state()["win.rect"])  # an edit, not applied
        before = self.wait_state(lambda s: s["win"] == "0" and s["apply"] == "1")
        self.assertEqual(before["apply"], "1")

        self.close_options()
        state = self.wait_state(lambda s: s["visible"] == "0")
        self.assertEqual(state["visible"], "0", "the close box did not hide the window")
        self.assertIn(CLOSE_BALLOON, [text for _, text in self.desk.balloons(wait_ms=8000)])

        state = self.open_options()
        self.assertEqual(state["window"], before["window"])
        self.assertEqual(state["tabs.selected"], "1")
        self.assertEqual(state["pages"], "S")
        self.assertEqual(state["win"], "0")
        self.assertEqual(state["apply"], "1")
        self.assertEqual(state["foreground"], "1")

    def test_close_without_balloon_when_switched_off(self):
        self.desk.reset_settings(ShowBalloonOnClosePressed="0")
        self.start()
        self.open_options()
        self.close_options()
        self.assertEqual(self.wait_state(lambda s: s["visible"] == "0")["visible"], "0")
        time.sleep(3)  # a balloon shows ~1-2 s after its request
        self.assertEqual(self.desk.balloons(), [])


class SettingsPage(OptionsTestCase):
    def test_typed_combination_applied(self):
        self.desk.reset_settings(OpenSelectionHotkey="75", OpenSelectionHotkeyModifier="5")
        self.start()
        self.open_options()
        state = self.select_tab(1)
        self.assertEqual(int(state["hotkey"], 16), 0x054B)  # Shift+Alt+K, "win" unchecked
        self.assertEqual(state["win"], "0")
        self.assertEqual(state["apply"], "0")

        self.type_in_hotkey_control("ctrl+alt+k")
        state = self.wait_state(lambda s: s["apply"] == "1")
        self.assertEqual(int(state["hotkey"], 16), 0x064B)
        self.click(state["apply.rect"])
        self.assertEqual(self.wait_state(lambda s: s["apply"] == "0")["apply"], "0")
        self.assertEqual(self.desk.reg_get(SETTINGS_KEY, "OpenSelectionHotkey"), "75")
        self.assertEqual(self.desk.reg_get(SETTINGS_KEY, "OpenSelectionHotkeyModifier"), "3")
        self.assertTrue(self.desk.hotkey_taken(MOD_CONTROL | MOD_ALT, VK_K))
        self.assertFalse(self.desk.hotkey_taken(MOD_ALT | MOD_SHIFT, VK_K))

    def test_a_press_with_the_options_in_front_sends_no_keys(self):
        # Keys sent to Selvane's own window would wait behind the press and land in the
        # hotkey box afterwards.
        self.start()
        self.open_options()
        self.select_tab(1)
        self.click(self.state()["hotkey.rect"])
        with self.desk.watch_injected_keys() as keys:
            self.desk.key("ctrl+super+o")
            time.sleep(3)  # longer than a press waits for a copy
        self.assertEqual(keys, [])
        # The box shows the typed keys themselves (CTRL and the Windows key), never an
        # injected CTRL+C.
        self.assertNotEqual(int(self.state()["hotkey"], 16) & 0xFF, 0x43)

    def test_combination_held_elsewhere_is_refused(self):
        self.start()
        self.open_options()
        self.select_tab(1)
        # Typed first: once another program holds it, the keys go to that program.
        self.click(self.state()["win.rect"])
        self.type_in_hotkey_control("ctrl+alt+j")
        self.assertEqual(int(self.state()["hotkey"], 16), 0x064A)
        with self.desk.hold_hotkey(MOD_CONTROL | MOD_ALT, VK_J):
            self.click(self.state()["apply.rect"])
            self.assertEqual(self.box_text(), HOTKEY_TAKEN)
            self.assertEqual(self.desk.wine(OPTIONS_PROBE, "box-ok").returncode, 0)
        state = self.wait_state(lambda s: s["enabled"] == "1")
        self.assertEqual(state["apply"], "1")
        self.assertIsNone(self.desk.reg_get(SETTINGS_KEY, "OpenSelectionHotkey"))
        self.assertIsNone(self.desk.reg_get(SETTINGS_KEY, "OpenSelectionHotkeyModifier"))
        self.assertTrue(self.desk.hotkey_taken(DEFAULT_MODS, DEFAULT_VK))

class AboutPage(OptionsTestCase):
    def tearDown(self):
        for editor in self.desk.windows("RegEdit_RegEdit"):
            self.desk.post(WM_CLOSE, cls="RegEdit_RegEdit", title="-")
        self.desk.window_gone("RegEdit_RegEdit", "-", 10000)
        super().tearDown()

    def test_shift_on_the_about_tab_reveals_browse_registry(self):
        self.start()
        self.open_options()
        self.assertEqual(self.select_tab(2)["browse"], "0")
        self.select_tab(0)
        state = self.select_tab(2, shift=True)
        self.assertEqual(state["browse"], "1")

        self.click(state["browse.rect"])
        editor = self.desk.find_window("RegEdit_RegEdit", "-", wait_ms=15000)
        self.assertIsNotNone(editor, "the registry editor did not start")
        self.assertEqual(self.desk.reg_get(EDITOR_KEY, "LastKey"),
                         r"HKEY_CURRENT_USER\Software\Selvane")


if __name__ == "__main__":
    unittest.main(verbosity=2)
