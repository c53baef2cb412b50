"""The installer, run silently in a fresh Wine prefix of its own (other modules' prefix and
settings stay untouched): an install, an upgrade over a running copy, the uninstall with
and without the user's settings, and an install into a folder that holds other files."""

import getpass
import os
import re
import shutil
import subprocess
import unittest

from harness import (E2E_ROOT, SETTINGS_KEY, SOURCE_DIR, Desktop, SelvaneTestCase)

SETUP = os.environ.get("E2E_SETUP", "")
PREFIX = "installer"
RUN_KEY = r"Software\Microsoft\Windows\CurrentVersion\Run"
UNINSTALL_KEY = r"Software\Microsoft\Windows\CurrentVersion\Uninstall\Selvane"
INSTALLED = ["Selvane.exe", "util/regjump.exe", "README.txt", "LICENSE.txt", "Uninstall.exe"]


def version():
    with open(os.path.join(SOURCE_DIR, "CMakeLists.txt")) as f:
        return re.search(r"project\(Selvane VERSION ([0-9.]+)", f.read()).group(1)


def fresh_prefix():
    """An earlier run's prefix holds an installed Selvane: start from a new one."""
    prefix = os.path.join(E2E_ROOT, PREFIX)
    if os.path.isdir(prefix):
        server = "/usr/lib/wine/wineserver64"
        server = server if os.access(server, os.X_OK) else "wineserver"
        subprocess.run([server, "-k"], env=dict(os.environ, WINEPREFIX=prefix),
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
        shutil.rmtree(prefix)


class Installer(SelvaneTestCase):
    PREFIX = PREFIX

    @classmethod
    def setUpClass(cls):
        if not os.path.isfile(SETUP):
            raise AssertionError("no test installer at %r: is makensis (Debian's nsis) "
                                 "installed? scripts/install-deps.sh installs it" % SETUP)
        fresh_prefix()
        super().setUpClass()
        user = os.path.join(cls.desk.env["WINEPREFIX"], "drive_c", "users", getpass.getuser())
        cls.folder = os.path.join(user, "AppData", "Local", "Programs", "Selvane")
        cls.shortcut = os.path.join(user, "AppData", "Roaming", "Microsoft", "Windows",
                                    "Start Menu", "Programs", "Selvane.lnk")
        cls.win_folder = "C:\\users\\%s\\AppData\\Local\\Programs\\Selvane" % getpass.getuser()
        cls.win_exe = cls.win_folder + "\\Selvane.exe"
        cls.user = user

    def tearDown(self):
        super().tearDown()
        self._end_strays()

    def reg_values(self, key):
        """{name: data} of a key under HKEY_CURRENT_USER; None when it does not exist."""
        done = self.desk.wine("reg", "query", "HKCU\\" + key)
        if done.returncode != 0:
            return None
        values = {}
        for line in done.stdout.decode("utf-8", "replace").splitlines():
            parts = re.split(r"\s{4}", line.strip(), maxsplit=2)
            if len(parts) == 3 and parts[1].startswith("REG_"):
                values[parts[0]] = int(parts[2], 16) if parts[1] == "REG_DWORD" else parts[2]
        return values

    def run_setup(self, *args):
        # Not through a pipe: under Wine a process started on the installer's behalf may keep
        # it open, and the wait would not end.
        return self.desk.spawn(SETUP, "/S", *args).wait(timeout=180)

    def uninstall(self, *args):
        command = self.reg_values(UNINSTALL_KEY)["QuietUninstallString"]
        exe, rest = re.fullmatch(r'"([^"]+)" (.*)', command).groups()
        self.assertEqual(self.desk.spawn(exe, *rest.split(), *args).wait(timeout=120), 0)
        # The uninstaller goes on from a copy of itself; its last step removes its entry.
        self.assertTrue(self.desk.wait_until(lambda: self.reg_values(UNINSTALL_KEY) is None,
                                             wait_s=60), "the uninstaller did not finish")

    def install_into(self, folder, win_folder):
        """Makes the checks below look at `folder` (Linux) / `win_folder` (Windows)."""
        self.folder, self.win_folder = folder, win_folder
        self.win_exe = win_folder + "\\Selvane.exe"

    def start_installed(self):
        process = self.desk.spawn(self.win_exe)
        found = self.desk.find_window("Selvane", "Selvane", 20000)
        self.assertIsNotNone(found, "the installed Selvane did not start")
        return process, found[1]

    def assert_installed(self, autostart=True):
        for name in INSTALLED:
            self.assertTrue(os.path.isfile(os.path.join(self.folder, name)), name)
        self.assertTrue(os.path.isfile(self.shortcut), "no Start-menu shortcut")
        self.assertEqual(self.reg_values(RUN_KEY).get("Selvane"),
                         '"%s"' % self.win_exe if autostart else None)
        size_kb = sum(os.path.getsize(os.path.join(self.folder, n)) for n in INSTALLED) // 1024
        entry = self.reg_values(UNINSTALL_KEY)
        self.assertLessEqual(abs(entry.pop("EstimatedSize") - size_kb), 4)
        uninstaller = '"%s\\Uninstall.exe"' % self.win_folder
        self.assertEqual(entry, {
            "DisplayName": "Selvane", "DisplayVersion": version(), "Publisher": "Selvane",
            "DisplayIcon": '"%s",0' % self.win_exe, "InstallLocation": self.win_folder,
            "UninstallString": uninstaller, "QuietUninstallString": uninstaller + " /S",
            "NoModify": 1, "NoRepair": 1})

    def assert_removed(self):
        self.assertFalse(os.path.exists(self.folder), "the program folder is left")
        self.assertFalse(os.path.exists(self.shortcut), "the shortcut is left")
        self.assertNotIn("Selvane", self.reg_values(RUN_KEY) or {})
        self.assertIsNone(self.reg_values(UNINSTALL_KEY))

    def test_install_upgrade_over_running_copy_and_uninstall(self):
        self.desk.reg_set(SETTINGS_KEY, "OpenSelectionHotkey", "75")
        self.assertEqual(self.run_setup(), 0)
        self.assert_installed()
        self.assertIsNone(self.desk.find_window("Selvane", "Selvane"),
                          "a silent install started Selvane without /RUN")

        # As Windows does at sign-in, from the Run value's path.
        first, first_pid = self.start_installed()
        self.assertTrue(self.desk.wait_until(self.desk.icon_present), "no tray icon")

        # The upgrade quits the running copy by its Quit command (exit code 0), replaces
        # the files and starts the new copy again; the user's settings stay.
        self.assertEqual(self.run_setup(), 0)
        self.assertEqual(first.wait(timeout=30), 0)
        found = self.desk.find_window("Selvane", "Selvane", 20000)
        self.assertIsNotNone(found, "the upgrade did not start Selvane again")
        self.assertNotEqual(found[1], first_pid)
        self.assertTrue(self.desk.wait_until(self.desk.icon_present))
        self.assert_installed()
        self.assertEqual(self.desk.reg_get(SETTINGS_KEY, "OpenSelectionHotkey"), "75")

        # The silent uninstall quits it too and keeps the settings.
        self.uninstall()
        self.assertTrue(self.desk.window_gone("Selvane", "Selvane", 10000))
        self.assert_removed()
        self.assertEqual(self.desk.reg_get(SETTINGS_KEY, "OpenSelectionHotkey"), "75")

        # Without the sign-in start, which an upgrade keeps; then an uninstall that takes
        # the settings along.
        self.assertEqual(self.run_setup("/NOAUTOSTART"), 0)
        self.assert_installed(autostart=False)
        self.assertEqual(self.run_setup(), 0)
        self.assert_installed(autostart=False)
        self.uninstall("/REMOVESETTINGS")
        self.assert_removed()
        self.assertFalse(self.desk.reg_exists(SETTINGS_KEY), "the settings are left")

        # A chosen folder that holds other files gets a Selvane folder of its own: the
        # user's README.txt stays as it was, the size counts Selvane's files alone, and the
        # uninstall leaves the folder and the user's files.
        tools = os.path.join(self.user, "Tools")
        os.makedirs(tools, exist_ok=True)
        mine = {"README.txt": "my own readme\n", "big.bin": "x" * 300000}
        for name, text in mine.items():
            with open(os.path.join(tools, name), "w") as f:
                f.write(text)
        win_tools = "C:\\users\\%s\\Tools" % getpass.getuser()
        self.assertEqual(self.run_setup("/D=" + win_tools), 0)
        self.install_into(os.path.join(tools, "Selvane"), win_tools + "\\Selvane")
        self.assert_installed()
        self.uninstall()
        self.assert_removed()
        self.assertEqual(sorted(os.listdir(tools)), sorted(mine))
        with open(os.path.join(tools, "README.txt")) as f:
            self.assertEqual(f.read(), mine["README.txt"])


if __name__ == "__main__":
    unittest.main(verbosity=2)
