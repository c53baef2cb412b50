"""The tray agent seen from outside: start-up, the single-copy rule, the tray icon and its
menu, the hotkey registration, messages that must change nothing, balloons, the shell's
restart and the way out."""

import os
import unittest

from harness import (CMD_ABOUT, CMD_EXIT, CMD_QUIT, E2E_ROOT, SELVANE_EXE, SETTINGS_KEY,
                     WM_COMMAND, WM_HOTKEY, SelvaneTestCase, win_path)

SECOND_COPY_TEXT = "Another instance of the application is running."


class StartAndQuit(SelvaneTestCase):
    def test_start_shows_hidden_window_icon_and_takes_hotkey_class_menu_exit_ends(self):
        app = self.start()
        hwnd, pid, visible = self.desk.find_window("Selvane", "Selvane")
        self.assertFalse(visible, "the main window must stay hidden")
        self.assertTrue(self.desk.icon_present())
        self.assertIsNotNone(self.desk.tray_geometry(), "no Wine System Tray window")
        self.assertTrue(self.desk.hotkey_taken(), "CTRL+WIN+O is still free")
        # No warning box came with a normal start.
        self.assertIsNone(self.desk.message_box("Selvane", wait_ms=0))
        self.assertTrue(app.running())
        # The class menu's Exit ends it as Quit does.
        self.assertEqual(self.desk.send(WM_COMMAND, CMD_EXIT), 0)
        self.assertEqual(app.wait_exit(), 0)
        self.assertFalse(self.desk.icon_present())
        self.assertFalse(self.desk.hotkey_taken())

    def test_arguments_and_maximised_start_change_nothing(self):
        # start.exe asks for a maximised window and passes arguments on; /wait gives us
        # the program's exit code.
        starter = self.desk.spawn("start", "/max", "/wait", win_path(SELVANE_EXE), "/options",
                                  "C:\\windows")
        try:
            found = self.desk.find_window("Selvane", "Selvane", wait_ms=20000)
            self.assertIsNotNone(found)
            self.assertFalse(found[2], "the main window was shown")
            self.assertTrue(self.desk.icon_present())
            self.assertIsNone(self.desk.message_box("Selvane", wait_ms=0))
            self.desk.post(WM_COMMAND, CMD_QUIT)
            self.assertEqual(starter.wait(timeout=20), 0)
        finally:
            if starter.poll() is None:
                starter.kill()

    def test_stored_hotkey_is_the_one_registered(self):
        # ALT+SHIFT+K instead of the default.
        self.desk.reset_settings(OpenSelectionHotkey="75", OpenSelectionHotkeyModifier="5")
        app = self.start()
        self.assertTrue(self.desk.hotkey_taken(5, 0x4B))
        self.assertFalse(self.desk.hotkey_taken(), "the default was registered as well")
        self.desk.post(WM_COMMAND, CMD_QUIT)
        self.assertEqual(app.wait_exit(), 0)
        self.assertFalse(self.desk.hotkey_taken(5, 0x4B))

    def test_real_right_click_menu_options_then_quit(self):
        app = self.start()
        self.assertIsNone(self.desk.find_window("#32770", "Selvane"))
        self.desk.right_click_tray_icon()
        menu = self.desk.popup_menu()
        self.assertIsNotNone(menu, "no popup menu after a right click on the icon")
        left, top, right, bottom = menu["rect"]
        # Two items of equal height: "Options" above "Quit".
        self.desk.click((left + right) // 2, top + (bottom - top) // 4)
        options = self.desk.find_window("#32770", "Selvane", wait_ms=10000)
        self.assertIsNotNone(options, "Options did not open the options window")
        self.assertTrue(options[2])
        self.desk.right_click_tray_icon()
        menu = self.desk.popup_menu()
        self.assertIsNotNone(menu, "no popup menu the second time")
        left, top, right, bottom = menu["rect"]
        self.desk.click((left + right) // 2, top + 3 * (bottom - top) // 4)
        self.assertEqual(app.wait_exit(), 0)
        self.assertFalse(self.desk.icon_present(), "the icon outlived the program")
        self.assertFalse(self.desk.hotkey_taken(), "the hotkey was not released")

    def test_double_click_opens_options_and_a_single_click_does_not(self):
        self.start()
        self.desk.click_tray_icon(1)
        # The shell reports the icon's clicks in order: once the right button's menu is up,
        # the single click before it has been handled.
        self.desk.right_click_tray_icon()
        self.assertIsNotNone(self.desk.popup_menu(), "no popup menu after a right click")
        self.desk.key("Escape")
        self.assertTrue(self.desk.wait_until(lambda: self.desk.popup_menu(0) is None, 5))
        self.assertIsNone(self.desk.find_window("#32770", "Selvane"),
                          "a single click opened the options window")
        self.desk.click_tray_icon(1, repeat=2)
        options = self.desk.find_window("#32770", "Selvane", wait_ms=10000)
        self.assertIsNotNone(options, "a double-click did not open the options window")
        self.assertTrue(options[2])


class SecondCopy(SelvaneTestCase):
    def test_second_copy_warns_and_exits_with_minus_one(self):
        first = self.start()
        self.desk.reg_delete(SETTINGS_KEY)
        second = self.start(wait=False)
        box = self.desk.message_box("Selvane", wait_ms=15000)
        self.assertIsNotNone(box, "the second copy showed no box")
        self.assertEqual(box["text"], SECOND_COPY_TEXT)
        self.assertTrue(box["icon"])
        self.assertEqual(box["buttons"], ["OK"])
        self.assertTrue(self.desk.dismiss_box("Selvane"))
        self.assertEqual(second.wait_exit(), 255)
        self.assertFalse(self.desk.reg_exists(SETTINGS_KEY), "the second copy wrote settings")
        self.assertTrue(first.running())
        self.assertTrue(self.desk.icon_present())
        self.assertTrue(self.desk.hotkey_taken())

    def test_only_class_and_title_together_make_a_copy(self):
        with self.desk.hold_window("CabinetWClass", "Selvane"), \
                self.desk.hold_window("Selvane", "Selvane - notes"):
            app = self.start()
            self.assertIsNone(self.desk.message_box("Selvane", wait_ms=300))
            self.assertTrue(app.running())
            self.assertTrue(self.desk.icon_present())


class HotkeyHeldElsewhere(SelvaneTestCase):
    def test_start_warns_goes_on_and_quit_leaves_the_other_holder_alone(self):
        with self.desk.hold_hotkey():
            app = self.start(wait=False)
            box = self.desk.message_box("Selvane", wait_ms=15000)
            self.assertIsNotNone(box)
            self.assertEqual(box["text"], "Could not register hotkey")
            self.assertTrue(box["icon"])
            self.assertEqual(box["buttons"], ["OK"])
            self.assertTrue(self.desk.dismiss_box("Selvane"))
            # Start-up went on: icon and menu, and no further box.
            self.assertIsNotNone(app.wait_main_window())
            self.assertIsNone(self.desk.message_box("Selvane", wait_ms=1000))
            self.assertTrue(self.desk.icon_present())
            self.desk.right_click_tray_icon()
            self.assertIsNotNone(self.desk.popup_menu(), "no menu after the hotkey failure")
            self.desk.key("Escape")
            self.desk.post(WM_COMMAND, CMD_QUIT)
            self.assertEqual(app.wait_exit(), 0)
            # Selvane unregistered nothing: the other program still holds the keys.
            self.assertTrue(self.desk.hotkey_taken())
        self.assertFalse(self.desk.hotkey_taken())


class HarmlessMessages(SelvaneTestCase):
    def test_other_hotkey_ids_about_and_unknown_commands_change_nothing(self):
        app = self.start()
        before = sorted((w["cls"], w["title"], w["visible"]) for w in self.desk.windows()
                        if w["pid"] == self.desk.find_window("Selvane", "Selvane")[1])
        self.assertEqual(self.desk.send(WM_HOTKEY, 1, 0), 0)
        self.assertEqual(self.desk.send(WM_HOTKEY, 7, 0x4F000A), 0)
        self.assertEqual(self.desk.send(WM_COMMAND, CMD_ABOUT), 0)
        # An unknown command goes to the default procedure, which answers 0.
        self.assertEqual(self.desk.send(WM_COMMAND, 4242), 0)
        pid = self.desk.find_window("Selvane", "Selvane")[1]
        after = sorted((w["cls"], w["title"], w["visible"]) for w in self.desk.windows()
                       if w["pid"] == pid)
        self.assertEqual(before, after)
        self.assertIsNone(self.desk.message_box("Selvane", wait_ms=0))
        self.assertTrue(app.running())
        self.assertTrue(self.desk.hotkey_taken())


class AcceleratorInOptionsWindow(SelvaneTestCase):
    FIRST_LAUNCH = True  # the options window opens at start and has the keyboard

    def test_alt_slash_and_alt_question_are_harmless(self):
        app = self.start()
        options = self.desk.find_window("#32770", "Selvane", wait_ms=10000)
        self.assertIsNotNone(options, "no options window at the first launch")
        self.assertEqual(self.desk.reg_get(SETTINGS_KEY, "FirstLaunch"), "0")
        pid = options[1]
        before = sorted((w["cls"], w["title"], w["visible"]) for w in self.desk.windows()
                        if w["pid"] == pid)
        self.desk.xdotool("search", "--sync", "--onlyvisible", "--name", "^Selvane$",
                          "windowfocus", "--sync")
        self.desk.key("alt+slash")
        self.desk.key("alt+question")
        after = sorted((w["cls"], w["title"], w["visible"]) for w in self.desk.windows()
                       if w["pid"] == pid)
        self.assertEqual(before, after)
        self.assertTrue(app.running())


class Balloons(SelvaneTestCase):
    NOT_FOUND = "Could not find this location"

    def press_hotkey_on_missing_location(self):
        # A window in front holds the missing place as its selection and copies it.
        log = os.path.join(E2E_ROOT, "balloon-source.log")
        source, window = self.desk.open_source(log, r"Q:\no\such\place")
        self.addCleanup(lambda: (source.kill(), source.wait(timeout=10)))
        self.assertIsNotNone(window, "e2e_source did not show")
        self.desk.xdotool("windowfocus", "--sync", window)
        self.assertEqual(self.desk.send(WM_HOTKEY, 0, 0x4F000A), 0)

    def test_balloon_appears_on_the_icon(self):
        self.start()
        self.press_hotkey_on_missing_location()
        shown = self.desk.balloons(wait_ms=8000)
        self.assertIn(self.NOT_FOUND, [text for _, text in shown])

    def test_without_icon_the_balloon_request_returns_quietly(self):
        app = self.start()
        self.assertTrue(self.desk.delete_icon())
        self.press_hotkey_on_missing_location()
        self.assertEqual(self.desk.balloons(wait_ms=3000), [])
        self.assertTrue(app.running())
        self.assertIsNone(self.desk.message_box("Selvane", wait_ms=0))


class ShellRestart(SelvaneTestCase):
    def test_taskbar_created_keeps_one_icon_and_brings_a_lost_one_back_with_its_menu(self):
        app = self.start()
        # With the icon present: still one icon (one delete request removes it, below).
        self.assertTrue(self.desk.broadcast("TaskbarCreated"))
        self.assertTrue(self.desk.icon_present())
        # Lost with the shell: it comes back.
        self.assertTrue(self.desk.delete_icon())
        self.assertFalse(self.desk.icon_present())
        self.assertTrue(self.desk.broadcast("TaskbarCreated"))
        self.assertTrue(self.desk.wait_until(self.desk.icon_present),
                        "the icon did not come back")
        # Same record: the callback still reaches the main window.
        self.desk.right_click_tray_icon()
        menu = self.desk.popup_menu()
        self.assertIsNotNone(menu)
        left, top, right, bottom = menu["rect"]
        self.desk.click((left + right) // 2, top + 3 * (bottom - top) // 4)
        self.assertEqual(app.wait_exit(), 0)
        # One delete request removed it: no second copy of the icon was left behind.
        self.assertFalse(self.desk.icon_present())
        self.assertIsNone(self.desk.tray_geometry())


if __name__ == "__main__":
    unittest.main(verbosity=2)
