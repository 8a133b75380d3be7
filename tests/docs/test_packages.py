"""Tests of the packages as a user gets them.

A Windows zip unpacks to a folder from which Quorvy.exe starts under Wine and finds its help,
DOCS, beside it. The Debian package holds what it should where it should, passes lintian, and
from a temporary root its quorvy-plot renders a plot and its quorvy launcher starts the window
with a Wine prefix of its own, and says Wine's reason when it cannot prepare one.

QUORVY_DEB names the Debian package (cpack -G DEB in the native build), QUORVY_PACKAGE_VERSION
the version. For the zip and the launcher, QUORVY_WINDOWS_FLAVOUR names the Windows flavour
(32 or 64) under test, QUORVY_ZIP its zip and QUORVY_WINDOWS_BUILD its build (probe.exe).
"""
import contextlib
import os
import shutil
import struct
import subprocess
import tempfile
import unittest
import unittest.mock
import zipfile

from quorvy_dev import png, testing, windows_flavours
from quorvy_dev.wine_session import (BLACK, STARTUP_LIMIT, WineSession, end_process,
                                     processes_with, start_xvfb, wait_until)
from test_help import PageStructure

HERE = os.path.dirname(os.path.abspath(__file__))

VERSION = os.environ.get("QUORVY_PACKAGE_VERSION", "1.0.0.1")
FLAVOUR = os.environ.get("QUORVY_WINDOWS_FLAVOUR", "32")
ZIP = os.environ.get("QUORVY_ZIP", "")
DEB = os.environ.get("QUORVY_DEB", "")
WINDOWS_BUILD = os.environ.get("QUORVY_WINDOWS_BUILD", "")
HELP_TEXT = "Per favore lancia l'Help in formato HTML dentro la cartella DOCS"


def pictures_of(page_html):
    parser = PageStructure()
    parser.feed(page_html)
    parser.close()
    return sorted({attributes["src"] for attributes, _ in parser.pictures})


def require(path, what):
    if not os.path.isfile(path):
        raise AssertionError("%s is missing: %s (make it with cpack first)" % (what, path))


class WindowsZip(unittest.TestCase):
    folder_name = "Quorvy-%s-win%s" % (VERSION, FLAVOUR)

    @classmethod
    def setUpClass(cls):
        require(ZIP, "the Windows zip")
        cls.temp = tempfile.mkdtemp(prefix="quorvy-zip-")
        with zipfile.ZipFile(ZIP) as z:
            cls.names = z.namelist()
            z.extractall(cls.temp)
        cls.folder = os.path.join(cls.temp, cls.folder_name)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.temp, ignore_errors=True)

    def test_everything_is_in_one_folder_named_after_the_version(self):
        self.assertEqual({n.split("/")[0] for n in self.names}, {self.folder_name})

    def test_it_holds_the_program_the_readme_and_the_help_with_every_picture(self):
        files = {n[len(self.folder_name) + 1:] for n in self.names if not n.endswith("/")}
        with open(os.path.join(self.folder, "DOCS", "index.html"), encoding="utf-8") as f:
            wanted = {"DOCS/" + src for src in pictures_of(f.read())}
        self.assertGreater(len(wanted), 3)
        self.assertEqual(files, {"Quorvy.exe", "README.txt", "DOCS/index.html", "web/index.html"}
                         | wanted)

    def test_the_program_is_a_windows_gui_program_of_the_flavour(self):
        machine, magic = {"32": (0x14C, 0x10B), "64": (0x8664, 0x20B)}[FLAVOUR]  # PE32, PE32+
        with open(os.path.join(self.folder, "Quorvy.exe"), "rb") as f:
            data = f.read()
        self.assertEqual(data[:2], b"MZ")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        self.assertEqual(data[pe:pe + 4], b"PE\0\0")
        self.assertEqual(struct.unpack_from("<H", data, pe + 4)[0], machine)
        self.assertEqual(struct.unpack_from("<H", data, pe + 24)[0], magic)
        self.assertEqual(struct.unpack_from("<H", data, pe + 24 + 68)[0], 2)  # GUI subsystem

    def test_the_readme_is_windows_text_that_points_to_the_help(self):
        with open(os.path.join(self.folder, "README.txt"), "rb") as f:
            text = f.read()
        self.assertNotRegex(text, rb"@[A-Z_]+@")  # no placeholder left
        self.assertEqual(text.count(b"\n"), text.count(b"\r\n"))
        self.assertIn(b"DOCS\\index.html", text)
        self.assertIn(VERSION.encode(), text)

    def test_quorvy_starts_from_the_unpacked_folder_and_finds_its_help_beside_it(self):
        if not WINDOWS_BUILD:
            self.skipTest("QUORVY_WINDOWS_BUILD is not set (the probe helper lives there)")
        session = WineSession(os.path.join(self.folder, "Quorvy.exe"),
                              os.path.join(WINDOWS_BUILD, "probe.exe"))
        here = os.getcwd()
        try:
            os.chdir(self.folder)  # started from its own folder, as a double-click does
            session.start()
            os.chdir(here)
            # A first start: no formula yet, so the axes and the no-function text.
            session.wait_text(lambda t: t == "Nessuna funzione da visualizzare. Scusa!")
            self.assertGreater(session.capture().count(BLACK), 100)
            # Help > Help names the DOCS folder; it is right there beside the program.
            session.key("alt+h")
            session.key("Return")
            self.assertEqual(session.wait_message_box(), ("HELP", HELP_TEXT))
            session.key("Return")
            self.assertTrue(os.path.isfile(os.path.join(self.folder, "DOCS", "index.html")))
        finally:
            os.chdir(here)
            session.close()


class ExtractedPackage(unittest.TestCase):
    """The Debian package unpacked into a temporary root, with its listing."""

    @classmethod
    def setUpClass(cls):
        require(DEB, "the Debian package")
        cls.temp = tempfile.mkdtemp(prefix="quorvy-deb-")
        cls.root = os.path.join(cls.temp, "root")
        subprocess.run(["dpkg-deb", "-x", DEB, cls.root], check=True)
        listing = subprocess.run(["dpkg-deb", "-c", DEB], stdout=subprocess.PIPE, text=True,
                                 check=True).stdout
        cls.entries = {}
        for line in listing.splitlines():
            fields = line.split(None, 5)
            mode, owner, name = fields[0], fields[1], fields[5]
            target = None
            if " -> " in name:
                name, target = name.split(" -> ", 1)
            cls.entries[name[1:].rstrip("/") or "/"] = (mode, owner, target)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.temp, ignore_errors=True)


class DebianPackage(ExtractedPackage):
    def field(self, name):
        return subprocess.run(["dpkg-deb", "-f", DEB, name], stdout=subprocess.PIPE, text=True,
                              check=True).stdout.strip()

    def test_control_fields(self):
        arch = subprocess.run(["dpkg", "--print-architecture"], stdout=subprocess.PIPE,
                              text=True, check=True).stdout.strip()
        self.assertEqual(os.path.basename(DEB), "quorvy_%s_%s.deb" % (VERSION, arch))
        self.assertEqual(self.field("Package"), "quorvy")
        self.assertEqual(self.field("Version"), VERSION)
        self.assertEqual(self.field("Architecture"), arch)
        depends = {d.strip().split()[0] for d in self.field("Depends").split(",")}
        self.assertLessEqual({"wine", "wine64", "fonts-wine", "libcairo2", "libc6"}, depends)
        # It installs where no i386 architecture is set up: the 32-bit Wine is only recommended.
        self.assertNotIn("wine32", depends)
        self.assertNotIn(":i386", self.field("Depends"))
        self.assertEqual(self.field("Recommends"), "wine32")
        self.assertTrue(self.field("Maintainer"))
        self.assertTrue(self.field("Description").startswith("plotter for functions"))

    def test_contents_and_their_modes(self):
        executable = "-rwxr-xr-x"
        plain = "-rw-r--r--"
        expected = {
            "/usr/bin/quorvy-plot": executable,
            "/usr/bin/quorvy": executable,
            "/usr/lib/quorvy/win32/Quorvy.exe": plain,
            "/usr/lib/quorvy/win64/Quorvy.exe": plain,
            "/usr/share/quorvy/DOCS/index.html": plain,
            "/usr/share/quorvy/web/index.html": plain,
            "/usr/share/man/man1/quorvy-plot.1.gz": plain,
            "/usr/share/man/man1/quorvy.1.gz": plain,
            "/usr/share/applications/quorvy.desktop": plain,
            "/usr/share/icons/hicolor/32x32/apps/quorvy.png": plain,
            "/usr/share/doc/quorvy/copyright": plain,
            "/usr/share/doc/quorvy/changelog.gz": plain,
        }
        with open(os.path.join(self.root, "usr/share/quorvy/DOCS/index.html"), encoding="utf-8") as f:
            for src in pictures_of(f.read()):
                expected["/usr/share/quorvy/DOCS/" + src] = plain
        for path, mode in expected.items():
            with self.subTest(path=path):
                self.assertIn(path, self.entries)
                self.assertEqual(self.entries[path][0], mode)
        for path, (_, owner, _) in self.entries.items():
            with self.subTest(path=path):
                self.assertEqual(owner, "root/root")
                self.assertTrue(path == "/" or path.startswith("/usr"), "outside /usr")
        # Each Quorvy.exe finds its help beside it through a relative link.
        for label in ("win32", "win64"):
            self.assertEqual(self.entries["/usr/lib/quorvy/%s/DOCS" % label][2],
                             "../../../share/quorvy/DOCS")
            self.assertTrue(os.path.isfile(os.path.join(
                self.root, "usr/lib/quorvy/%s/DOCS/index.html" % label)))

    def test_lintian_reports_no_errors(self):
        run = subprocess.run(["lintian", "--fail-on", "error", "--tag-display-limit", "0", DEB],
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                             check=False)
        self.assertEqual(run.returncode, 0, run.stdout)
        self.assertNotIn("\nE: ", "\n" + run.stdout)

    def test_quorvy_plot_renders_a_plot_from_the_package(self):
        plot = os.path.join(self.root, "usr/bin/quorvy-plot")
        out = os.path.join(self.temp, "plot.png")
        run = subprocess.run([plot, "-o", out, "LOG(X)+X/2"], stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE, text=True, check=False)
        self.assertEqual(run.returncode, 0, run.stderr)
        picture = png.read(out)
        self.assertEqual((picture.width, picture.height), (382, 354))
        self.assertGreater(picture.count(png.strong_blue), 100)
        self.assertGreater(picture.count(png.strong_red), 100)
        info = subprocess.run([plot, "-i", "2SIN(X)*X"], stdout=subprocess.PIPE, text=True,
                              check=True).stdout
        self.assertIn("Min Y", info)
        self.assertIn("-197.9211", info)
        # One version a user can match: the tool says the package's.
        version = subprocess.run([plot, "--version"], stdout=subprocess.PIPE, text=True,
                                 check=True).stdout
        self.assertIn(" " + VERSION + "\n", version.split("\n")[0] + "\n")

    def test_the_man_pages_and_the_desktop_entry_are_valid(self):
        for page in ("quorvy-plot", "quorvy"):
            with self.subTest(page=page):
                path = os.path.join(self.root, "usr/share/man/man1/%s.1.gz" % page)
                run = subprocess.run(["man", "--warnings", "-l", path], stdout=subprocess.PIPE,
                                     stderr=subprocess.PIPE, text=True,
                                     env=dict(os.environ, MANWIDTH="80", LC_ALL="C.UTF-8"),
                                     check=False)
                self.assertEqual(run.returncode, 0, run.stderr)
                self.assertEqual(run.stderr, "")
                self.assertIn("SYNOPSIS", run.stdout)
        desktop = os.path.join(self.root, "usr/share/applications/quorvy.desktop")
        run = subprocess.run(["desktop-file-validate", desktop], stdout=subprocess.PIPE,
                             stderr=subprocess.STDOUT, text=True, check=False)
        self.assertEqual((run.returncode, run.stdout), (0, ""))
        with open(os.path.join(self.root, "usr/share/icons/hicolor/32x32/apps/quorvy.png"), "rb") as f:
            self.assertEqual(png.size(f.read(32)), (32, 32))

    def test_the_launcher_says_where_everything_is(self):
        home = os.path.join(self.temp, "home-help")
        env = dict(os.environ, HOME=home, XDG_DATA_HOME=os.path.join(home, "data"))
        env.pop("QUORVY_WINEPREFIX", None)
        run = subprocess.run([os.path.join(self.root, "usr/bin/quorvy"), "--help"],
                             stdout=subprocess.PIPE, text=True, env=env, check=True)
        for label in ("win32", "win64"):
            self.assertIn(os.path.join(self.root, "usr/lib/quorvy/%s/Quorvy.exe" % label),
                          run.stdout)
        self.assertIn(os.path.join(self.root, "usr/share/quorvy/DOCS/index.html"), run.stdout)
        self.assertIn(os.path.join(home, "data", "quorvy", "wine"), run.stdout)

    def test_the_launcher_chooses_and_sets_up_wine_as_the_scripts_do(self):
        """The launcher's own lines up to its last, which here prints the command and the
        environment instead of starting Wine, against the package that the tests and scripts
        use: for each setting of QUORVY_WINDOWS_FLAVOUR, with the machine's Wine loaders and
        with stand-ins that start or not, and a prefix that looks made."""
        prefix = os.path.join(self.temp, "shown-prefix")
        os.makedirs(prefix, exist_ok=True)
        open(os.path.join(prefix, "system.reg"), "w").close()
        for starts in (None, (True, True), (True, False), (False, True), (False, False)):
            loaders = self.stand_in_loaders(starts)
            for asked in ("", "32", "64"):
                with self.subTest(starts=starts, asked=asked):
                    self.compare_launcher_with_scripts(loaders, asked, prefix)

    def stand_in_loaders(self, starts):
        """{flavour: loader}: the machine's, or scripts whose --version succeeds or fails."""
        if starts is None:
            return {name: f.loader for name, f in windows_flavours.FLAVOURS.items()}
        loaders = {}
        for name, ok in zip(("32", "64"), starts):
            loaders[name] = os.path.join(self.temp, "loader%s-%s" % (name, ok))
            with open(loaders[name], "w") as f:
                f.write("#!/bin/sh\nexit %d\n" % (0 if ok else 1))
            os.chmod(loaders[name], 0o755)
        return loaders

    def compare_launcher_with_scripts(self, loaders, asked, prefix):
        wine = ("WINEPREFIX", "WINEDEBUG", "WINEDLLOVERRIDES", "WINELOADER")
        env = {k: v for k, v in os.environ.items() if k not in wine}
        env.update(QUORVY_WINDOWS_FLAVOUR=asked, QUORVY_WINEPREFIX=prefix)
        shown = subprocess.run([self.launcher_that_shows(loaders)], env=env,
                               capture_output=True, text=True)
        with contextlib.ExitStack() as stack:
            stack.enter_context(unittest.mock.patch.dict(os.environ, env, clear=True))
            for name, flavour in windows_flavours.FLAVOURS.items():
                for field in ("loader", "wine") if flavour.wine == flavour.loader else ("loader",):
                    stack.enter_context(unittest.mock.patch.object(flavour, field, loaders[name]))
            runnable = [f.name for f in windows_flavours.runnable()]
            if shown.returncode != 0:
                self.assertEqual((shown.returncode, runnable, asked), (1, [], ""), shown.stderr)
                return
            command, *lines = shown.stdout.splitlines()
            *loader, exe = command.split(" ")
            name = exe.split("/win")[-1].split("/")[0]
            # asked for a flavour that does not start, the launcher tries it all the same
            self.assertEqual([name], [asked] if asked else runnable[:1])
            flavour = windows_flavours.FLAVOURS[name]
            self.assertEqual(os.path.realpath(exe), os.path.realpath(os.path.join(
                self.root, "usr/lib/quorvy/win%s/Quorvy.exe" % name)))
            self.assertEqual(loader, flavour.command())
            ours = {k: v for k, v in flavour.env(prefix).items() if k in wine}
        self.assertEqual(dict(v.split("=", 1) for v in lines if v.startswith(wine)), ours)

    def launcher_that_shows(self, loaders):
        with open(os.path.join(self.root, "usr/bin/quorvy")) as f:
            script = f.read()
        last = 'exec "$@" "$exe"\n'
        self.assertTrue(script.endswith(last))
        for name, flavour in windows_flavours.FLAVOURS.items():
            line = "loader%s=%s\n" % (name, flavour.loader)
            self.assertIn(line, script)
            script = script.replace(line, "loader%s=%s\n" % (name, loaders[name]))
        copy = os.path.join(self.root, "usr/bin/quorvy-shown")
        with open(copy, "w") as f:
            f.write(script[:-len(last)] + 'echo "$@" "$exe"\nenv\n')
        os.chmod(copy, 0o755)
        return copy


class DebianLauncher(ExtractedPackage):
    """The package's quorvy launcher asked for the flavour under test, on a display of its own."""

    def launch(self, home, display, prefix=None):
        env = dict(os.environ, HOME=home, DISPLAY=display.name, QUORVY_WINDOWS_FLAVOUR=FLAVOUR)
        for name in ("XDG_DATA_HOME", "QUORVY_WINEPREFIX", "WINEPREFIX", "WINELOADER"):
            env.pop(name, None)
        if prefix:
            env["QUORVY_WINEPREFIX"] = prefix
        with open(home + ".said", "w") as said:  # what the launcher says, kept for the failure
            launcher = subprocess.Popen([os.path.join(self.root, "usr/bin/quorvy")], env=env,
                                        stdout=subprocess.DEVNULL, stderr=said)
        launcher.said = said.name
        return env, launcher

    def words(self, launcher):
        with open(launcher.said, errors="replace") as f:
            return f.read()

    def wait_window(self, display, launcher):
        """The Quorvy window, waited for as long as the launcher lives (a first start makes the
        prefix, which takes minutes on a busy machine); fails at once with the launcher's words
        once it has ended, or after STARTUP_LIMIT, which only a hang reaches."""
        def shown():
            window = display.find_window("Quorvy - ")
            if not window and launcher.poll() is not None:
                raise AssertionError("the launcher ended with status %d before the window showed;"
                                     " it said:\n%s" % (launcher.returncode, self.words(launcher)))
            return window
        try:
            return wait_until(shown, timeout=STARTUP_LIMIT, what="the Quorvy window")
        except TimeoutError as timeout:
            raise AssertionError("%s; the launcher said:\n%s" % (timeout, self.words(launcher)))

    def end(self, env, prefix, launcher):
        env = dict(env, WINEPREFIX=prefix)
        subprocess.run(["wineserver", "-k"], env=env, stderr=subprocess.DEVNULL, check=False)
        try:
            launcher.wait(timeout=30)
        except subprocess.TimeoutExpired:
            launcher.kill()
            launcher.wait()
        subprocess.run(["wineserver", "-w"], env=env, stderr=subprocess.DEVNULL, check=False)
        return self.words(launcher)

    def test_the_launcher_starts_the_window_with_a_wine_prefix_of_its_own(self):
        home = os.path.join(self.temp, "home")
        prefix = os.path.join(home, ".local", "share", "quorvy", "wine")
        display = PrivateDisplay()
        env, launcher = self.launch(home, display)
        try:
            self.assertTrue(self.wait_window(display, launcher))
            self.assertTrue(os.path.isfile(os.path.join(prefix, "system.reg")))
            self.assertTrue(os.path.isdir(os.path.join(prefix, "drive_c", "windows")))
            self.assertFalse(os.path.exists(os.path.join(prefix, ".quorvy-unfinished")))
        finally:
            said = self.end(env, prefix, launcher)
            display.close()
        self.assertIn("starting the %s-bit Quorvy.exe" % FLAVOUR, said)

    def test_a_prefix_wine_refuses_is_explained_marked_and_tried_again(self):
        """Wine refuses a prefix folder its user does not own: the launcher ends at once with
        Wine's reason, leaves no Wine process, and prepares the prefix on the next start."""
        if os.getuid() != 0:
            self.skipTest("needs root to hand the prefix folder to another user")
        home = os.path.join(self.temp, "home-refused")
        prefix = os.path.join(self.temp, "refused-prefix")
        os.makedirs(prefix)
        os.chown(prefix, 65534, 65534)
        display = PrivateDisplay()
        try:
            env, launcher = self.launch(home, display, prefix)
            launcher.wait(timeout=STARTUP_LIMIT)
            said = self.words(launcher)
            self.assertNotEqual(launcher.returncode, 0)
            self.assertIn("not owned by you", said)
            self.assertIn("marked unfinished", said)
            self.assertTrue(os.path.exists(os.path.join(prefix, ".quorvy-unfinished")) or
                            not os.listdir(prefix))
            self.assertEqual(processes_with(b"WINEPREFIX=" + os.fsencode(prefix)), [])
            os.chown(prefix, 0, 0)
            env, launcher = self.launch(home, display, prefix)
            try:
                self.wait_window(display, launcher)
                self.assertFalse(os.path.exists(os.path.join(prefix, ".quorvy-unfinished")))
            finally:
                self.end(env, prefix, launcher)
        finally:
            display.close()


class PrivateDisplay:
    """An Xvfb server of the test's own, on a display number that the server picks itself."""

    def __init__(self):
        self.server, self.name = start_xvfb()

    def find_window(self, title):
        run = subprocess.run(["xdotool", "search", "--name", "^%s$" % title],
                             env=dict(os.environ, DISPLAY=self.name), stdout=subprocess.PIPE,
                             stderr=subprocess.DEVNULL, text=True, check=False)
        return run.stdout.split()

    def close(self):
        end_process(self.server)


if __name__ == "__main__":
    testing.main()
