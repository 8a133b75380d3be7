"""The help as a browser shows it: headless Chromium loads every page of the assembled DOCS
folder, and the test looks at what it rendered: the document it built, a screenshot, and the page
printed to PDF (its pictures and its text).

Environment as for test_help.py (QUORVY_DOCS, QUORVY_SOURCE, QUORVY_DOCS_PICTURES).
"""
import os
import re
import shutil
import subprocess
import tempfile
import unittest

from quorvy_dev import png, testing
from test_help import DOCS, PICTURES, SOURCE, message_boxes, pages, read_page, structure

BROWSERS = ["chromium", "chromium-browser", "google-chrome"]
SCREEN = (1280, 1600)


def browser():
    for name in BROWSERS:
        path = shutil.which(name)
        if path:
            return path
    raise RuntimeError("no Chromium found (Debian: apt-get install chromium)")


class Chromium:
    """Headless Chromium with a profile of its own in a temporary folder."""

    def __init__(self):
        self.folder = tempfile.mkdtemp(prefix="quorvy-help-")
        self.executable = browser()

    def run(self, url, *options):
        command = [self.executable, "--headless", "--no-sandbox", "--disable-gpu",
                   "--disable-dev-shm-usage", "--no-first-run", "--disable-extensions",
                   "--hide-scrollbars", "--user-data-dir=" + os.path.join(self.folder, "profile")]
        done = subprocess.run(command + list(options) + [url], stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, timeout=180, check=False)
        if done.returncode != 0:
            raise AssertionError("Chromium failed (%d): %s" % (done.returncode,
                                                               done.stderr.decode(errors="replace")[-2000:]))
        return done.stdout.decode("utf-8", errors="replace")

    def close(self):
        shutil.rmtree(self.folder, ignore_errors=True)


def url_of(page):
    return "file://" + os.path.abspath(os.path.join(DOCS, page))


chromium = None


def setUpModule():
    global chromium
    chromium = Chromium()


def tearDownModule():
    chromium.close()


class Rendered(unittest.TestCase):
    def test_the_browser_builds_every_page_whole(self):
        """The document Chromium built holds the title, every section and every picture of the
        page: nothing was dropped by a parse error."""
        for page in pages():
            with self.subTest(page=page):
                dom = chromium.run(url_of(page), "--dump-dom")
                source = read_page(page)
                title = re.search(r"<title>([^<]+)</title>", source).group(1)
                self.assertIn("<title>%s</title>" % title, dom)
                for section in re.findall(r'<section id="([^"]+)"', source):
                    self.assertIn('id="%s"' % section, dom)
                self.assertEqual(dom.count("<img "), source.count("<img "))
                self.assertTrue(dom.rstrip().endswith("</html>"))

    def test_the_start_page_is_not_blank_and_shows_the_window_picture(self):
        shot = os.path.join(chromium.folder, "shot.png")
        chromium.run(url_of("index.html"), "--screenshot=" + shot,
                     "--window-size=%d,%d" % SCREEN)
        picture = png.read(shot)
        self.assertEqual((picture.width, picture.height), SCREEN)
        background = picture.pixels[-1][-1]
        drawn = picture.count(lambda p: abs(p[0] - background[0]) + abs(p[1] - background[1])
                              + abs(p[2] - background[2]) > 60)
        self.assertGreater(drawn / (picture.width * picture.height), 0.03, "a blank page")
        if PICTURES:
            # The window picture near the top is the plot of 2SIN(X)*X: thousands of blue points.
            self.assertGreater(picture.count(png.strong_blue), 1000)


class Printed(unittest.TestCase):
    """Printed to PDF, every picture of a page is in the document at its own size, and the text
    is there to read."""

    @classmethod
    def setUpClass(cls):
        cls.printed = {}
        for page in pages():
            pdf = os.path.join(chromium.folder, page + ".pdf")
            chromium.run(url_of(page), "--no-pdf-header-footer", "--print-to-pdf=" + pdf)
            cls.printed[page] = pdf

    def test_every_picture_is_printed(self):
        if not PICTURES:
            self.skipTest("this build has no quorvy-plot to draw the help's pictures")
        for page, pdf in self.printed.items():
            with self.subTest(page=page):
                listing = subprocess.run(["pdfimages", "-list", pdf], stdout=subprocess.PIPE,
                                         text=True, check=True).stdout.splitlines()[2:]
                sizes = [tuple(int(v) for v in line.split()[3:5]) for line in listing
                         if line.split()[2] == "image"]
                expected = [(int(a["width"]), int(a["height"]))
                            for a, _ in structure(page).pictures]
                for size in set(expected):
                    self.assertGreaterEqual(sizes.count(size), expected.count(size),
                                            "pictures of %dx%d missing from the print" % size)

    def test_the_text_is_printed(self):
        text = subprocess.run(["pdftotext", self.printed["index.html"], "-"],
                              stdout=subprocess.PIPE, text=True, check=True).stdout
        flat = " ".join(text.split())
        self.assertIn("Quorvy Help", flat)
        for _, message in message_boxes(SOURCE):
            self.assertTrue(" ".join(message.split()) in flat, "not printed: " + message)


if __name__ == "__main__":
    testing.main()
