"""The hotkey command as a user meets it: text selected in Wine's Notepad, CTRL+WIN+O
pressed as real X key events, and the shell's verbs redirected to a recorder so that each
test sees which verb opened which target. Notepad's text box is an edit control, so its
selection is read directly: the clipboard is not touched at all (its sequence number
included) and no key is injected. A window that is no edit control (e2e_source) is copied
from through the clipboard: CTRL+C, or CTRL+INSERT in a terminal; the clipboard comes back
as it was, plus the three formats that keep the put-back out of clipboard history.

Wine's IsValidURL accepts any text, so the cases that rest on Windows' URL rules (a bare
host name opened with "http://" in front) are covered by the portable tests instead."""

import getpass
import os
import shutil
import signal
import subprocess
import time
import unittest

from harness import E2E_ROOT, RECORDER_EXE, WM_CLOSE, SelvaneTestCase, reg_string, win_path

TERMINAL_CLASSES = ("ConsoleWindowClass", "CASCADIA_HOSTING_WINDOW_CLASS", "mintty",
                    "VirtualConsoleClass", "PuTTY", "org.wezfurlong.wezterm")
KEY_C, KEY_INSERT = "43", "2D"

OPENING_SELECTION = "Opening selection"
OPENING_WEBPAGE = "Opening Webpage"
NOT_FOUND = "Could not find this location"

# What the clipboard holds before every press: a text and a format of our own.
BEFORE_TEXT = "clipboard before the hotkey"
PRIVATE_FORMAT = "SelvaneE2EPrivate"
PRIVATE_DATA = "private bytes"

REGEDIT_KEY = r"Software\Microsoft\Windows\CurrentVersion\Applets\Regedit"

# A balloon shows about two seconds after the request; a missing one is waited for longer.
BALLOON_WAIT_MS = 6000


def processes_ending_with(text):
    """Process ids of the programs whose command line ends in `text` (any letter case)."""
    out = subprocess.run(["ps", "-eo", "pid=,args="], stdout=subprocess.PIPE,
                         text=True).stdout
    return [int(line.split(None, 1)[0]) for line in out.splitlines()
            if line.rstrip().lower().endswith(text.lower())]


def explorer_selecting(path):
    """Process ids of the Explorers started to show the file `path` selected."""
    return processes_ending_with("/select," + win_path(path))


def register_types(desk, name, programs):
    """Makes each program the one that opens files of its type ({type: program})."""
    lines = []
    for file_type, program in programs.items():
        lines += ["[HKEY_CLASSES_ROOT\\%s]" % file_type, '@="SelvaneE2E%s"' % file_type, "",
                  "[HKEY_CLASSES_ROOT\\SelvaneE2E%s\\shell\\open\\command]" % file_type,
                  "@=" + reg_string('"%s" "%%1"' % win_path(program)), ""]
    desk.import_reg(name + ".reg", lines)


class OpenSelection(SelvaneTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.fixture = os.path.join(E2E_ROOT, "open")
        shutil.rmtree(cls.fixture, ignore_errors=True)
        cls.folder = os.path.join(cls.fixture, "target folder")
        cls.file = os.path.join(cls.fixture, "notes.txt")
        cls.cwd = os.path.join(cls.fixture, "cwd")
        os.makedirs(cls.folder)
        os.makedirs(os.path.join(cls.cwd, "reldir"))
        with open(cls.file, "w") as f:
            f.write("notes\n")
        cls.spaced_file = os.path.join(cls.fixture, "my notes.txt")
        with open(cls.spaced_file, "w") as f:
            f.write("more notes\n")
        cls.log = os.path.join(cls.fixture, "verbs.log")
        cls.desk.redirect_shell_verbs(cls.log)
        # Wine hands the Unix environment to the programs it starts: Selvane sees this.
        cls.desk.env["SELVANE_E2E_OPEN"] = win_path(cls.fixture)

    def setUp(self):
        super().setUp()
        self.notepads = []
        self.sources = []
        if os.path.exists(self.log):
            os.remove(self.log)
        # Wine's clipboard manager holds the clipboard for a moment after each change.
        for attempt in range(5):
            try:
                self.desk.clipboard_set(BEFORE_TEXT, PRIVATE_FORMAT, PRIVATE_DATA)
                break
            except AssertionError:
                if attempt == 4:
                    raise
                time.sleep(0.5)
        self.clipboard_before = self.desk.clipboard_get(PRIVATE_FORMAT)
        self.assertEqual(self.clipboard_before.get("text"), BEFORE_TEXT)

    def tearDown(self):
        self.close_notepads()
        self.close_sources()
        super().tearDown()

    # Steps ---------------------------------------------------------------------------------
    def press_hotkey_on(self, selection, select=True, press=True):
        """Opens `selection` in Notepad, selects all of it and presses CTRL+WIN+O."""
        name = "selection%d.txt" % len(self.notepads)
        path = os.path.join(self.fixture, name)
        process, window = self.desk.open_in_notepad(path, selection, wait_s=20)
        self.notepads.append(process)
        self.assertIsNotNone(window, "Notepad did not show " + name)
        self.desk.xdotool("windowfocus", "--sync", window)
        self.desk.key("ctrl+a" if select else "ctrl+End")
        if press:
            self.desk.key("ctrl+super+o")

    def assert_opened(self, line):
        self.assertEqual(self.desk.recorded(self.log, 1, 15), [line])

    def assert_nothing_opened(self, wait_s=2):
        time.sleep(wait_s)
        self.assertEqual(self.desk.recorded(self.log, 1, 0), [])

    def assert_balloon(self, text):
        shown = self.desk.balloons(wait_ms=BALLOON_WAIT_MS)
        self.assertEqual([t for _, t in shown], [text])

    def assert_no_balloon(self):
        self.assertEqual(self.desk.balloons(wait_ms=BALLOON_WAIT_MS), [])

    def assert_clipboard_restored(self, selection):
        """Untouched: the same contents and the same sequence number."""
        after = self.desk.clipboard_get(PRIVATE_FORMAT)
        self.assertEqual(after, self.clipboard_before)
        self.assertEqual(after.get(PRIVATE_FORMAT), PRIVATE_DATA)
        self.assertNotEqual(after.get("text"), selection)

    def assert_clipboard_put_back(self):
        """Copied from and put back: the same contents, plus the three markers."""
        after = self.desk.clipboard_get(PRIVATE_FORMAT)
        self.assertNotEqual(after.pop("seq"), self.clipboard_before["seq"])
        self.assertEqual(after.pop("markers"), "3")
        before = dict(self.clipboard_before)
        del before["seq"], before["markers"]
        self.assertEqual(after, before)

    def press_hotkey_in_source(self, text, **options):
        """Shows `text` in e2e_source, focuses it and presses CTRL+WIN+O; returns its key log."""
        log = os.path.join(self.fixture, "source%d.log" % len(self.sources))
        process, window = self.desk.open_source(log, text, **options)
        self.sources.append(process)
        self.assertIsNotNone(window, "e2e_source did not show")
        self.desk.xdotool("windowfocus", "--sync", window)
        self.desk.key("ctrl+super+o")
        return log

    def source_keys(self, log, wait_for=None):
        """The keys e2e_source received ("43+ctrl"), waiting for `wait_for` to be among them."""
        def keys():
            with open(log) as f:
                return [line.split()[1] for line in f if line.startswith("key ")]
        self.desk.wait_until(lambda: wait_for is None or wait_for in keys(), 10)
        return keys()

    def close_sources(self):
        for source in self.sources:
            if source.poll() is None:
                source.kill()
            source.wait(timeout=10)
        self.sources = []

    def press_in_turn(self, cases):
        """Presses the hotkey on each (selection, expected recorded line) in turn; after each
        press exactly one more target is opened and the clipboard is as it was."""
        for count, (selection, line) in enumerate(cases, 1):
            with self.subTest(selection=selection):
                self.press_hotkey_on(selection)
                lines = self.desk.recorded(self.log, count, 15)
                self.assertEqual(lines[count - 1:], [line])
                self.assert_clipboard_restored(selection)
                self.close_notepads()

    def close_notepads(self):
        # The process started is Wine's launcher, not Notepad itself: close the windows, or
        # a Notepad left in front would receive the copy keystroke of later tests.
        for _ in range(10):
            if self.desk.find_window("Notepad") is None:
                break
            self.desk.post(WM_CLOSE, cls="Notepad", title="-")
            self.desk.window_gone("Notepad", "-", 2000)
        for notepad in self.notepads:
            if notepad.poll() is None:
                notepad.kill()
            notepad.wait(timeout=10)

    # Cases ---------------------------------------------------------------------------------
    def test_folder_is_explored_with_a_balloon(self):
        self.start()
        selection = win_path(self.folder)
        with self.desk.watch_injected_keys() as keys:
            self.press_hotkey_on(selection)
            self.assert_opened('explore "%s"' % selection)
        self.assertEqual(keys, [], "Notepad's selection is read without a key")
        self.assert_clipboard_restored(selection)
        self.assert_balloon(OPENING_SELECTION)

    def test_a_window_that_is_no_edit_control_is_copied_from(self):
        self.start()
        folder, notes = win_path(self.folder), win_path(self.file)
        with self.subTest("CTRL+C"), self.desk.watch_injected_keys() as injected:
            log = self.press_hotkey_in_source(folder)
            self.assert_opened('explore "%s"' % folder)
        keys = self.source_keys(log, KEY_C + "+ctrl")
        self.assertIn(KEY_C + "+ctrl", keys)
        self.assertFalse([k for k in keys if k.startswith(KEY_INSERT)], keys)
        self.assertIn("43 down", injected)
        self.assert_clipboard_put_back()
        self.assert_balloon(OPENING_SELECTION)
        self.close_sources()
        with self.subTest("a program that copies 800 ms after the key"):
            log = self.press_hotkey_in_source(notes, delay_ms=800)
            lines = self.desk.recorded(self.log, 2, 15)
            self.assertEqual(lines[1:], ['open "%s"' % notes])
            self.assert_clipboard_put_back()

    def test_terminals_get_ctrl_insert_and_never_ctrl_c(self):
        self.start()
        folder = win_path(self.folder)
        for count, cls in enumerate(TERMINAL_CLASSES, 1):
            with self.subTest(cls):
                log = self.press_hotkey_in_source(folder, cls=cls)
                lines = self.desk.recorded(self.log, count, 15)
                self.assertEqual(lines[count - 1:], ['explore "%s"' % folder])
                keys = self.source_keys(log, KEY_INSERT + "+ctrl")
                self.assertIn(KEY_INSERT + "+ctrl", keys)
                self.assertFalse([k for k in keys if k.startswith(KEY_C)], keys)
                self.assert_clipboard_put_back()
                self.close_sources()

    def test_wordpads_select_all_is_read_without_the_clipboard(self):
        # WordPad's CTRL+A in a one-line document selects the final paragraph mark too.
        self.start()
        selection = win_path(self.folder)
        path = os.path.join(self.fixture, "wordpad.txt")
        with open(path, "w", newline="") as f:
            f.write(selection)
        drive = os.path.join(self.desk.env["WINEPREFIX"], "drive_c")
        wordpad = next(os.path.join(drive, folder, "Windows NT", "Accessories", "wordpad.exe")
                       for folder in ("Program Files (x86)", "Program Files")
                       if os.path.exists(os.path.join(drive, folder, "Windows NT")))
        process = self.desk.spawn(win_path(wordpad), win_path(path))
        self.addCleanup(lambda: process.poll() is None and process.kill())
        window = self.desk.x_window_named("wordpad.txt", 30)
        self.assertIsNotNone(window, "WordPad did not show the file")
        try:
            with self.desk.watch_injected_keys() as keys:
                self.desk.xdotool("windowfocus", "--sync", window)
                self.desk.key("ctrl+a")
                self.desk.key("ctrl+super+o")
                self.assert_opened('explore "%s"' % selection)
            self.assertEqual(keys, [], "WordPad's selection is read without a key")
            self.assert_clipboard_restored(selection)
        finally:
            self.desk.post(WM_CLOSE, cls="WORDPADTOP", title="-")
            self.desk.window_gone("WORDPADTOP", "-", 5000)

    def test_a_held_hotkey_runs_once_and_every_new_press_runs(self):
        # While keys are held the X server repeats them (here after ~0.7 s, every 40 ms),
        # and each repeat is a hotkey message: Wine ignores MOD_NOREPEAT.
        self.start()
        selection = win_path(self.folder)
        self.press_hotkey_on(selection, press=False)
        self.desk.xdotool("keydown", "ctrl", "keydown", "super", "keydown", "o")
        time.sleep(1.5)
        self.desk.xdotool("keyup", "o", "keyup", "super", "keyup", "ctrl")
        self.assertEqual(len(self.desk.recorded(self.log, 2, 5)), 1, "auto-repeats ran")
        # Let go in between: the second press is queued during the first one's run.
        self.desk.key("ctrl+super+o")
        time.sleep(0.2)
        self.desk.key("ctrl+super+o")
        self.assertEqual(len(self.desk.recorded(self.log, 3, 15)), 3)
        self.assertEqual(len(self.desk.recorded(self.log, 4, 3)), 3)

    def test_a_press_made_while_a_long_run_waits_is_a_press(self):
        # A window that copies nothing keeps the run waiting 1.5 s for a copy; a second
        # press in that time, after the keys came up, is the user's, not an auto-repeat.
        self.start()
        log = os.path.join(self.fixture, "long run.log")
        process, window = self.desk.open_source(log, "C:\\not selected", selected=False)
        self.sources.append(process)
        self.assertIsNotNone(window, "e2e_source did not show")
        self.desk.xdotool("windowfocus", "--sync", window)
        # Held long enough to be seen held (so the press is watched for repeats), let go
        # before the keyboard repeats.
        self.desk.xdotool("keydown", "ctrl", "keydown", "super", "keydown", "o")
        time.sleep(0.3)
        self.desk.xdotool("keyup", "o", "keyup", "super", "keyup", "ctrl")
        self.source_keys(log, KEY_C + "+ctrl")
        self.desk.key("ctrl+super+o")
        self.assertTrue(self.desk.wait_until(
            lambda: self.source_keys(log).count(KEY_C + "+ctrl") == 2, 10),
            "the second press was dropped as a repeat")

    def test_doubled_backslashes_open_the_same_folder(self):
        self.start()
        literal = win_path(self.folder).replace("\\", "\\\\")
        self.press_hotkey_on(literal)
        self.assert_opened('explore "%s"' % win_path(self.folder))
        self.assert_clipboard_restored(literal)
        self.assert_balloon(OPENING_SELECTION)

    def test_existing_file_is_opened(self):
        self.start()
        selection = win_path(self.file)
        self.press_hotkey_on(selection)
        self.assert_opened('open "%s"' % selection)
        self.assert_clipboard_restored(selection)
        self.assert_balloon(OPENING_SELECTION)

    def test_web_address_is_opened_with_its_balloon(self):
        self.start()
        selection = "http://example.com/selvane?q=1"
        self.press_hotkey_on(selection)
        self.assert_opened('url "%s"' % selection)
        self.assert_clipboard_restored(selection)
        self.assert_balloon(OPENING_WEBPAGE)

    def test_nothing_selected_opens_nothing_and_leaves_the_clipboard_alone(self):
        # The clipboard holds a folder; before, a press that copied nothing opened it.
        folder = win_path(self.folder)
        self.desk.clipboard_set(folder, PRIVATE_FORMAT, PRIVATE_DATA)
        self.clipboard_before = self.desk.clipboard_get(PRIVATE_FORMAT)
        self.start()
        with self.subTest("Notepad, read directly"), self.desk.watch_injected_keys() as keys:
            self.press_hotkey_on("some text, nothing selected", select=False)
            self.assert_nothing_opened()
        self.assertEqual(keys, [])
        self.assertEqual(self.desk.clipboard_get(PRIVATE_FORMAT), self.clipboard_before)
        self.close_notepads()
        with self.subTest("a window that copies nothing"):
            log = self.press_hotkey_in_source("C:\\not selected", selected=False)
            self.assertIn(KEY_C + "+ctrl", self.source_keys(log, KEY_C + "+ctrl"))
            self.assert_nothing_opened()
            self.assertEqual(self.desk.clipboard_get(PRIVATE_FORMAT), self.clipboard_before)
        self.assert_no_balloon()

    def test_path_on_a_missing_drive_opens_nothing(self):
        self.start()
        selection = r"Q:\no\such\place"
        self.press_hotkey_on(selection)
        self.assert_balloon(NOT_FOUND)
        self.assert_nothing_opened(wait_s=0)
        self.assert_clipboard_restored(selection)

    def test_path_far_longer_than_max_path_is_not_found_safely(self):
        # Wine's PathCanonicalizeW writes a result as long as its input, whatever the
        # buffer; this one would run 1,700 characters past a MAX_PATH buffer.
        app = self.start()
        selection = "Z:\\" + "long\\" * 400
        self.press_hotkey_on(selection)
        self.assert_balloon(NOT_FOUND)
        self.assert_nothing_opened(wait_s=0)
        self.assertTrue(app.running())
        self.assert_clipboard_restored(selection)

    def test_switched_off_balloon_hides_success_but_not_failure(self):
        self.desk.reset_settings(ShowBalloonOnShortcutPressed="0")
        self.start()
        selection = win_path(self.folder)
        self.press_hotkey_on(selection)
        self.assert_opened('explore "%s"' % selection)
        self.assert_no_balloon()
        self.close_notepads()

        self.press_hotkey_on(r"Q:\no\such\place")
        self.assert_balloon(NOT_FOUND)
        self.assertEqual(len(self.desk.recorded(self.log, 2, 0)), 1, "a second target opened")
        self.assert_clipboard_restored(selection)

    def test_a_bare_name_resolves_in_the_profile_folder(self):
        # Started from another folder (as the Run value starts it from the system folder),
        # Selvane still looks a bare name up in the user's own folder.
        profile = os.path.join(self.desk.env["WINEPREFIX"], "drive_c", "users",
                               getpass.getuser())
        name = "selvane e2e profile folder"
        os.makedirs(os.path.join(profile, name), exist_ok=True)
        self.addCleanup(shutil.rmtree, os.path.join(profile, name), True)
        self.start(cwd=self.cwd)
        self.press_hotkey_on(name)
        lines = self.desk.recorded(self.log, 1, 15)
        self.assertEqual(len(lines), 1, lines)
        verb, _, target = lines[0].partition(" ")
        self.assertEqual(verb, "explore")
        self.assertIn(target.strip('"').lower(),
                      (name, "c:\\users\\%s\\%s" % (getpass.getuser(), name)))
        self.assert_clipboard_restored(name)

    def test_a_position_opens_the_editor_registered_for_the_type(self):
        # The recorder, copied under each editor's name and registered as the program of a
        # file type, writes the command line it was given beside itself.
        editors = os.path.join(self.fixture, "editors")
        files = os.path.join(self.fixture, "edit here")
        os.makedirs(editors, exist_ok=True)
        os.makedirs(files, exist_ok=True)
        rows = [  # program, file type, what follows the path, arguments ({} is the path)
            ("Code.exe", ".cpp", ":12:3", '-g "{}:12:3"'),
            ("notepad++.exe", ".sv1", ":12:3", '-n12 -c3 "{}"'),
            ("sublime_text.exe", ".sv2", "(12,3)", '"{}:12:3"'),
            ("gvim.exe", ".sv3", ":12", '+12 "{}"'),
            ("emacs.exe", ".sv4", ":12:3", '+12:3 "{}"'),
            ("idea64.exe", ".sv5", ":12", '--line 12 "{}"'),
            ("Notepad3.exe", ".sv6", ":12:3", '/g 12 "{}"'),
            # A program that is no editor we know gets the plain open ("%1" alone).
            ("Other.exe", ".sv7", ":12:3", '"{}"'),
        ]
        for program, _, _, _ in rows:
            shutil.copy(RECORDER_EXE, os.path.join(editors, program))
        register_types(self.desk, "editors",
                       {row[1]: os.path.join(editors, row[0]) for row in rows})

        self.start()
        for program, file_type, position, arguments in rows:
            with self.subTest(program=program):
                path = os.path.join(files, "notes" + file_type)
                with open(path, "w") as f:
                    f.write("int main() {}\n")
                log = os.path.join(editors, program + ".log")
                if os.path.exists(log):
                    os.remove(log)
                self.press_hotkey_on(win_path(path) + position)
                self.assertEqual(self.desk.recorded(log, 1, 15), [arguments.format(win_path(path))])
                self.close_notepads()

    def test_programs_and_scripts_are_shown_in_their_folder_not_run(self):
        # Besides a program and a batch file: a script whose type Python opens, a type of our
        # own that Python opens, and a program reached through a file URL, with its extension
        # and without. Run, the copies of the recorder would write "<name>.log" beside them.
        folder = os.path.join(self.fixture, "run me")
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(os.path.join(folder, "python"))
        script = os.path.join(folder, "setup.bat")
        ran = os.path.join(folder, "ran.txt")
        with open(script, "w", newline="\r\n") as f:
            f.write('echo ran > "%s"\n' % win_path(ran))
        program = os.path.join(folder, "tool.exe")
        python = os.path.join(folder, "python", "python.exe")
        for copy in (program, python):
            shutil.copy(RECORDER_EXE, copy)
        by_python = [os.path.join(folder, "invoice.py"), os.path.join(folder, "report.sv9")]
        for path in by_python:
            with open(path, "w") as f:
                f.write("print('ran')\n")
        register_types(self.desk, "python", {".py": python, ".sv9": python})
        url = "file:///" + win_path(program).replace("\\", "/").replace(" ", "%20")
        self.start()
        cases = [(win_path(path), path) for path in [program, script] + by_python]
        for index, (selection, path) in enumerate(cases + [(url, program)]):
            with self.subTest(selection=selection):
                self.press_hotkey_on(selection)
                # Explorer is started to show the file selected. Its window is slow to come
                # under Wine for some types, so the process is looked at.
                shown = []
                self.assertTrue(self.desk.wait_until(
                    lambda: shown.extend(explorer_selecting(path)) or shown, wait_s=15),
                    "no Explorer showing the file")
                if index == 0:
                    self.assert_balloon(OPENING_SELECTION)
                for pid in shown:
                    os.kill(pid, signal.SIGTERM)
                self.close_notepads()
        with self.subTest("a file URL without the program's extension"):
            self.press_hotkey_on(url[:-len(".exe")])
            self.assert_balloon(NOT_FOUND)
            self.close_notepads()
        time.sleep(2)  # what the shell starts, it starts within a moment
        self.assertFalse(os.path.exists(ran), "the script ran")
        self.assertFalse(os.path.exists(program + ".log"), "the program ran")
        self.assertFalse(os.path.exists(python + ".log"), "Python ran the script")
        self.assertEqual(self.desk.recorded(self.log, 1, 0), [])

    def test_a_32_bit_selvane_sees_the_64_bit_system_folder_and_program_files(self):
        # A file only in the 64-bit System32 (a 32-bit process's lookups of it land in
        # SysWOW64), and a folder only in the 64-bit Program Files, selected as written
        # with the variable. The program that opens the file is handed System32.
        windows = os.path.join(self.desk.env["WINEPREFIX"], "drive_c", "windows")
        name = "selvane e2e only64.txt"
        only64 = os.path.join(windows, "system32", name)
        self.assertFalse(os.path.exists(os.path.join(windows, "syswow64", name)))
        with open(only64, "w") as f:
            f.write("64-bit only\n")
        self.addCleanup(os.remove, only64)
        programs = os.path.join(self.desk.env["WINEPREFIX"], "drive_c", "Program Files",
                                "selvane e2e only64")
        os.makedirs(programs, exist_ok=True)
        self.addCleanup(shutil.rmtree, programs, True)
        file_selection = "C:\\Windows\\System32\\" + name
        self.start()
        self.press_hotkey_on(file_selection)
        lines = self.desk.recorded(self.log, 1, 20)
        for pid in processes_ending_with(file_selection + '"'):
            os.kill(pid, signal.SIGTERM)
        self.assertEqual([line.lower() for line in lines], ['open "%s"' % file_selection.lower()])
        self.close_notepads()
        self.press_hotkey_on("%ProgramFiles%\\selvane e2e only64")
        lines = self.desk.recorded(self.log, 2, 15)
        self.assertEqual(lines[1:], ['explore "C:\\Program Files\\selvane e2e only64"'])

    def test_paths_are_found_in_what_people_select(self):
        self.start()
        folder, notes = win_path(self.folder), win_path(self.file)
        url = "file:///" + win_path(self.spaced_file).replace("\\", "/").replace(" ", "%20")
        self.press_in_turn([
            (folder + "\r\n", 'explore "%s"' % folder),  # a triple click's line break
            ('"%SELVANE_E2E_OPEN%\\notes.txt",', 'open "%s"' % notes),
            (url, 'open "%s"' % win_path(self.spaced_file)),
            (notes + ":12:5", 'open "%s"' % notes),
        ])

    def test_a_relative_path_opens_where_it_was_selected(self):
        # A terminal's shell, a shell started inside a window, a document in a title: each
        # base holds a file that names nothing in the user's folder. Last, a traceback line
        # from a shell in the project folder opens the editor registered for the type (the
        # recorder, in a folder of its own so that its log starts empty) at its line.
        where = os.path.join(self.fixture, "relative")
        project, other, documents = (os.path.join(where, n) for n in ("project", "other", "doc"))
        module = os.path.join(project, "app", "models.sv9")
        files = [os.path.join(project, "src", "notes.txt"),
                 os.path.join(other, "lib", "util.txt"),
                 os.path.join(documents, "beside.txt"), os.path.join(documents, "report.txt"),
                 module]
        for path in files:
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "w") as f:
                f.write("x\n")
        editor = os.path.join(where, "editor", "Code.exe")
        os.makedirs(os.path.dirname(editor), exist_ok=True)
        shutil.copy(RECORDER_EXE, editor)
        if os.path.exists(editor + ".log"):
            os.remove(editor + ".log")
        register_types(self.desk, "traceback", {".sv9": editor})
        in_project = dict(cls="ConsoleWindowClass", extra=["--folder", win_path(project)])
        self.start()
        cases = [
            ("console", "src\\notes.txt", files[0], in_project),
            ("child process", "lib/util.txt", files[1],
             dict(extra=["--child-in", win_path(other)])),
            ("title", "beside.txt", files[2], dict(title=win_path(files[3]))),
        ]
        for count, (what, selection, opened, options) in enumerate(cases, 1):
            with self.subTest(what):
                self.press_hotkey_in_source(selection, **options)
                lines = self.desk.recorded(self.log, count, 15)
                self.assertEqual(lines[count - 1:], ['open "%s"' % win_path(opened)])
                self.close_sources()
        with self.subTest("traceback"):
            self.press_hotkey_in_source('File "app/models.sv9", line 3, in <module>', **in_project)
            self.assertEqual(self.desk.recorded(editor + ".log", 1, 15),
                             ['-g %s:3' % win_path(module)])

    def test_the_path_or_address_inside_a_longer_selection(self):
        self.start()
        notes, spaced = win_path(self.file), win_path(self.spaced_file)
        self.press_in_turn([
            ("2026-12-07 10:41:07 ERROR cannot read %s: access denied\r\n" % notes,
             'open "%s"' % notes),
            # A compiler's message: a path with a blank in it, a position after it.
            ("%s(42,7): error C2065: 'x': undeclared identifier" % spaced,
             'open "%s"' % spaced),
            ("The page is at http://example.com/selvane?q=2, see there.",
             'url "http://example.com/selvane?q=2"'),
        ])

    def test_several_paths_are_offered_in_a_menu(self):
        self.start()
        notes, folder = win_path(self.file), win_path(self.folder)
        line = "copied %s to %s today." % (notes, folder)
        # Down moves from the first item, selected when the menu opens, to the second.
        self.press_hotkey_on(line)
        # (Its items belong to Selvane's process: Wine's menus cannot be read from another
        # one. What they say and their order are checked by the portable tests.)
        self.focus_menu()
        self.desk.key("Down")
        self.desk.key("Return")
        self.assert_opened('explore "%s"' % folder)
        self.assert_clipboard_restored(line)
        self.assert_balloon(OPENING_SELECTION)
        self.close_notepads()

        # Escape closes the menu and opens nothing; a press while it is open does nothing
        # (run inside the menu, it would copy nothing and open what the clipboard holds).
        self.desk.clipboard_set(notes, PRIVATE_FORMAT, PRIVATE_DATA)
        self.press_hotkey_on(line)
        self.focus_menu()
        self.desk.key("ctrl+super+o")
        time.sleep(1)
        self.desk.key("Escape")
        self.assertTrue(self.desk.wait_until(lambda: self.desk.popup_menu() is None, 10))
        time.sleep(2)
        self.assertEqual(len(self.desk.recorded(self.log, 2, 0)), 1, "a second target opened")

    def focus_menu(self):
        """Waits for the menu and gives its X window the keyboard. Selvane makes its window
        the foreground one, which on Windows routes the keys to the menu; without a window
        manager Wine's keys follow X focus alone, which stays on Notepad."""
        menu = self.desk.popup_menu(wait_ms=15000)
        self.assertIsNotNone(menu, "no menu of the paths")
        left, top = menu["rect"][:2]
        for window in self.desk.xdotool("search", "--onlyvisible", "--name", "^$").split():
            where = self.desk.xdotool("getwindowgeometry", "--shell", window).split()
            if "X=%d" % left in where and "Y=%d" % top in where:
                self.desk.xdotool("windowfocus", "--sync", window)
                return
        self.fail("no X window at the menu's place")

    def test_registry_key_and_mail_address(self):
        self.desk.reg_delete(REGEDIT_KEY)  # so that LastKey can only come from this press
        self.start()
        try:
            key = r"Computer\HKEY_CURRENT_USER\Software\Selvane"
            self.press_hotkey_on(key)
            # util\regjump.exe beside Selvane.exe stores the key and starts the editor.
            editor = self.desk.find_window("RegEdit_RegEdit", "-", wait_ms=15000)
            self.assertIsNotNone(editor, "the registry editor did not start")
            self.assertEqual(self.desk.reg_get(REGEDIT_KEY, "LastKey"),
                             r"HKEY_CURRENT_USER\Software\Selvane")
            self.assert_clipboard_restored(key)
            self.assert_balloon(OPENING_SELECTION)
            self.close_notepads()

            self.press_in_turn([("someone@example.com.", 'mail "mailto:someone@example.com"')])
        finally:
            self.desk.post(WM_CLOSE, cls="RegEdit_RegEdit", title="-")
            self.desk.window_gone("RegEdit_RegEdit", "-", 10000)


if __name__ == "__main__":
    unittest.main(verbosity=2)
