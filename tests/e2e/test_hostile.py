"""Hostile selections: a megabyte of text, a clipboard text with embedded NULs, characters
outside the Basic Multilingual Plane, a 32,000-character path, and texts that name an
application's own protocol. Selvane must survive
each, do what it does for any other text, and leave the clipboard as it was byte for byte
(every format, its size and its bytes, compared by a dump taken before and after the
press). Notepad's selection is read directly, so its clipboard is not touched at all; the
megabyte over a thousand lines is too large for that and goes through the clipboard, which
comes back with the three formats that keep the put-back out of clipboard history."""

import os
import shutil
import subprocess
import unittest

from harness import E2E_ROOT, RECORDER_EXE, SELVANE_EXE, SelvaneTestCase, reg_string, win_path

NOT_FOUND = "Could not find this location"
OPENING_SELECTION = "Opening selection"
BALLOON_WAIT_MS = 6000
PRIVATE_FORMAT = "SelvaneE2EPrivate"
PUT_BACK_MARKERS = ("ExcludeClipboardContentFromMonitorProcessing",
                    "CanIncludeInClipboardHistory", "CanUploadToCloudClipboard")

# bench_ctl.exe is built beside the program in every Windows build; it reads and writes
# clipboard blocks as raw bytes, which the probe's text commands cannot.
BENCH_CTL = os.path.join(os.path.dirname(os.path.dirname(SELVANE_EXE)), "bench",
                         "bench_ctl.exe")


def utf16(text):
    return text.encode("utf-16-le").hex()


class HostileSelections(SelvaneTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.fixture = os.path.join(E2E_ROOT, "hostile")
        shutil.rmtree(cls.fixture, ignore_errors=True)
        os.makedirs(cls.fixture)
        cls.folder = os.path.join(cls.fixture, "folder")
        os.makedirs(cls.folder)
        cls.log = os.path.join(cls.fixture, "verbs.log")
        cls.desk.redirect_shell_verbs(cls.log)
        cls.register_protocols("someapp", "error")

    @classmethod
    def register_protocols(cls, *schemes):
        # As an application registers its own protocol; the recorder stands in for it.
        command = reg_string('"%s" "%s" protocol "%%1"' % (win_path(RECORDER_EXE),
                                                           win_path(cls.log)))
        lines = []
        for scheme in schemes:
            lines += ["[HKEY_CLASSES_ROOT\\%s]" % scheme, '@="URL:%s"' % scheme,
                      '"URL Protocol"=""', "",
                      "[HKEY_CLASSES_ROOT\\%s\\shell\\open\\command]" % scheme, "@=" + command,
                      ""]
        cls.desk.import_reg("protocols.reg", lines)

    def setUp(self):
        super().setUp()
        self.notepads = []
        if os.path.exists(self.log):
            os.remove(self.log)
        # A text and a private format, as an application leaves them.
        self.put_clipboard("CF_UNICODETEXT", utf16("clipboard before\0"),
                           PRIVATE_FORMAT, "00ff10ee")

    def tearDown(self):
        for notepad in self.notepads:
            if notepad.poll() is None:
                notepad.kill()
                notepad.wait(timeout=10)
        super().tearDown()

    # Steps ---------------------------------------------------------------------------------
    def ctl(self, *args):
        done = self.desk.wine(BENCH_CTL, *args, timeout=60)
        self.assertEqual(done.returncode, 0, "bench_ctl %s failed" % args[0])
        return done.stdout.decode("utf-8", "replace").replace("\r", "")

    def put_clipboard(self, *formats_and_hex):
        self.ctl("clip-put", *formats_and_hex)
        self.clipboard_before = self.ctl("clip-dump")
        self.assertIn(PRIVATE_FORMAT, self.clipboard_before)

    def assert_clipboard_restored(self, put_back=False):
        after = self.ctl("clip-dump")
        if put_back:
            lines = after.splitlines()
            markers = [line for line in lines if line.split()[0] in PUT_BACK_MARKERS]
            self.assertEqual(sorted(line.split()[:2] for line in markers),
                             sorted([name, "size=4"] for name in PUT_BACK_MARKERS))
            after = "".join(line + "\n" for line in lines if line not in markers)
        self.assertEqual(after, self.clipboard_before)

    def focus_notepad_with(self, content, select=True):
        name = "hostile%d.txt" % len(self.notepads)
        path = os.path.join(self.fixture, name)
        process, window = self.desk.open_in_notepad(path, content, wait_s=60)
        self.notepads.append(process)
        self.assertIsNotNone(window, "Notepad did not show " + name)
        self.desk.xdotool("windowfocus", "--sync", window)
        if select:
            self.desk.key("ctrl+a")

    def press_hotkey(self):
        self.desk.key("ctrl+super+o")

    def assert_not_found(self, app):
        shown = self.desk.balloons(wait_ms=BALLOON_WAIT_MS)
        self.assertEqual([text for _, text in shown], [NOT_FOUND])
        self.assertEqual(self.desk.recorded(self.log, 1, 0), [])
        self.assertTrue(app.running())

    # Cases ---------------------------------------------------------------------------------
    def test_megabyte_of_text_is_not_found_and_the_clipboard_returns(self):
        app = self.start()
        line = "Q:\\" + "x" * 1021 + "\r\n"
        text = line * 1024
        self.focus_notepad_with(text)
        self.press_hotkey()
        self.assert_not_found(app)
        self.assert_clipboard_restored(put_back=True)

    def test_path_of_32000_characters_is_not_found_safely(self):
        app = self.start()
        selection = "Z:\\" + ("abcdefg\\" * 4000)[:31997]
        self.assertEqual(len(selection), 32000)
        self.focus_notepad_with(selection)
        self.press_hotkey()
        self.assert_not_found(app)
        self.assert_clipboard_restored()

    def test_characters_beyond_the_basic_plane_name_their_folder(self):
        folder = os.path.join(self.fixture, "clef \U0001D11E smile \U0001F600")
        os.makedirs(folder, exist_ok=True)
        app = self.start()
        selection = win_path(folder)
        self.focus_notepad_with(selection)
        self.press_hotkey()
        self.assertEqual(self.desk.recorded(self.log, 1, 15), ['explore "%s"' % selection])
        self.assertEqual([t for _, t in self.desk.balloons(wait_ms=BALLOON_WAIT_MS)],
                         [OPENING_SELECTION])
        self.assertTrue(app.running())
        self.assert_clipboard_restored()

    def test_nothing_selected_leaves_a_text_with_nuls_alone(self):
        # Nothing is selected in Notepad: nothing opens, though the clipboard holds a folder
        # (a NUL, then a path that names nothing), and every byte stays as it was.
        selection = win_path(self.folder)
        self.put_clipboard("CF_UNICODETEXT", utf16(selection + "\0Q:\\after\\nul\0"),
                           PRIVATE_FORMAT, "00ff10ee")
        app = self.start()
        self.focus_notepad_with("", select=False)
        self.press_hotkey()
        self.assertEqual(self.desk.recorded(self.log, 1, 5), [])
        self.assertTrue(app.running())
        self.assert_clipboard_restored()

    def test_only_the_webs_addresses_reach_the_shell(self):
        # Both protocols are registered: asked for directly, the shell starts their program.
        self.desk.wine("cmd", "/c", "start", "someapp:check", timeout=60)
        self.assertEqual(self.desk.recorded(self.log, 1, 15), ['protocol "someapp:check"'])
        os.remove(self.log)
        app = self.start()
        for selection in ("Error: file not found", 'someapp:x" --flag="y'):
            with self.subTest(selection):
                self.focus_notepad_with(selection)
                self.press_hotkey()
                self.assert_not_found(app)
                self.assertEqual(self.desk.recorded(self.log, 1, 3), [])
        self.focus_notepad_with("localhost:3000")
        self.press_hotkey()
        self.assertEqual(self.desk.recorded(self.log, 1, 15), ['url "http://localhost:3000"'])
        self.assertTrue(app.running())
        self.assert_clipboard_restored()


if __name__ == "__main__":
    unittest.main(verbosity=2)
