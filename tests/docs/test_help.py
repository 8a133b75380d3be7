"""Tests of the user's help in DOCS: well-formed, self-contained pages whose links, anchors and
pictures all resolve, and which mention every menu command, key and message of the program.

QUORVY_DOCS names the assembled help (the build's DOCS folder, pages and pictures);
QUORVY_SOURCE the source tree; QUORVY_DOCS_PICTURES=0 says that the build has no quorvy-plot to
draw the pictures with, and leaves the picture checks out.
"""
import html.parser
import os
import re
import unittest
import urllib.parse
import xml.etree.ElementTree as ElementTree

import help_sources
from quorvy_dev import png, testing

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.environ.get("QUORVY_SOURCE", os.path.join(HERE, "..", ".."))
DOCS = os.environ.get("QUORVY_DOCS", os.path.join(SOURCE, "build", "native", "DOCS"))
PICTURES = os.environ.get("QUORVY_DOCS_PICTURES", "1") != "0"
# The one link out of the help's folder: the web page, which the build puts beside it.
WEB_PAGE = "../web/index.html"

VOID = {"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta", "source",
        "track", "wbr"}


def pages():
    return sorted(name for name in os.listdir(DOCS) if name.endswith(".html"))


def read_page(name):
    with open(os.path.join(DOCS, name), encoding="utf-8") as f:
        return f.read()


class PageStructure(html.parser.HTMLParser):
    """Collects the faults of a page's markup, its ids, links and pictures."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.faults = []
        self.stack = []
        self.ids = []
        self.links = []     # (href, line)
        self.pictures = []  # (attributes, line)
        self.tags = []
        self.styles = []

    def where(self):
        return "line %d" % self.getpos()[0]

    def handle_starttag(self, tag, attrs):
        self.tags.append(tag)
        names = [name for name, _ in attrs]
        if len(names) != len(set(names)):
            self.faults.append("%s: <%s> repeats an attribute" % (self.where(), tag))
        attributes = dict(attrs)
        if "id" in attributes:
            self.ids.append(attributes["id"])
        if tag == "a" and "href" in attributes:
            self.links.append((attributes["href"], self.getpos()[0]))
        if tag == "img":
            self.pictures.append((attributes, self.getpos()[0]))
        if "style" in attributes:
            self.styles.append(attributes["style"])
        if tag not in VOID:
            self.stack.append((tag, self.getpos()[0]))

    def handle_startendtag(self, tag, attrs):
        if tag not in VOID:
            self.faults.append("%s: <%s/> is not an empty element" % (self.where(), tag))
            return
        self.handle_starttag(tag, attrs)

    def handle_endtag(self, tag):
        if tag in VOID:
            self.faults.append("%s: </%s> closes an empty element" % (self.where(), tag))
            return
        if not self.stack or self.stack[-1][0] != tag:
            open_tag = "<%s> of line %d" % self.stack[-1] if self.stack else "nothing"
            self.faults.append("%s: </%s> while %s is open" % (self.where(), tag, open_tag))
            return
        self.stack.pop()

    def handle_data(self, data):
        if self.stack and self.stack[-1][0] == "style":
            self.styles.append(data)

    def close(self):
        super().close()
        for tag, line in self.stack:
            self.faults.append("line %d: <%s> is never closed" % (line, tag))


def structure(name):
    parser = PageStructure()
    parser.feed(read_page(name))
    parser.close()
    return parser


class WellFormed(unittest.TestCase):
    def test_there_is_a_start_page(self):
        self.assertIn("index.html", pages())

    def test_every_element_is_closed_in_order(self):
        for name in pages():
            with self.subTest(page=name):
                self.assertEqual(structure(name).faults, [])

    def test_every_page_is_well_formed_xml(self):
        for name in pages():
            with self.subTest(page=name):
                try:
                    ElementTree.fromstring(read_page(name))
                except ElementTree.ParseError as e:
                    self.fail("%s: %s" % (name, e))

    def test_every_page_declares_its_language_encoding_and_title(self):
        for name in pages():
            with self.subTest(page=name):
                text = read_page(name)
                self.assertTrue(text.startswith("<!DOCTYPE html>"))
                self.assertRegex(text, r'<html[^>]* lang="en"')
                self.assertIn('<meta charset="utf-8" />', text)
                self.assertRegex(text, r"<title>[^<]+</title>")
                self.assertEqual(structure(name).tags.count("h1"), 1)

    def test_ids_are_unique(self):
        for name in pages():
            with self.subTest(page=name):
                ids = structure(name).ids
                self.assertEqual(sorted({i for i in ids if ids.count(i) > 1}), [])


class SelfContained(unittest.TestCase):
    """The help opens from a folder with no network: its style is in the page, and nothing
    is fetched from elsewhere."""

    def test_no_scripts_frames_or_linked_files(self):
        for name in pages():
            with self.subTest(page=name):
                tags = set(structure(name).tags)
                self.assertEqual(tags & {"script", "link", "iframe", "object", "embed", "base"},
                                 set())

    def test_style_is_inline_and_fetches_nothing(self):
        for name in pages():
            with self.subTest(page=name):
                s = structure(name)
                self.assertIn("style", s.tags)
                for style in s.styles:
                    self.assertNotRegex(style, r"@import|url\s*\(|@font-face")

    def test_links_stay_inside_the_help(self):
        for name in pages():
            for href, line in structure(name).links:
                with self.subTest(page=name, line=line, href=href):
                    self.assertFalse(urllib.parse.urlsplit(href).scheme, "a link out of the help")
                    self.assertFalse(href.startswith("//"))


class LinksResolve(unittest.TestCase):
    def test_every_internal_link_and_anchor_resolves(self):
        ids = {name: set(structure(name).ids) for name in pages()}
        for name in pages():
            for href, line in structure(name).links:
                with self.subTest(page=name, line=line, href=href):
                    target, _, anchor = href.partition("#")
                    target = target or name
                    if target == WEB_PAGE:
                        # The web page, built and installed beside the help's folder.
                        self.assertTrue(os.path.isfile(os.path.join(DOCS, target)), "not built")
                        continue
                    self.assertIn(target, ids, "no such page")
                    if anchor:
                        self.assertIn(anchor, ids[target], "no such anchor")

    def test_every_section_is_reachable_from_the_contents(self):
        """Each section of a page (a <section> with an id) is linked from somewhere."""
        linked = set()
        for name in pages():
            for href, _ in structure(name).links:
                target, _, anchor = href.partition("#")
                linked.add((target or name, anchor))
        for name in pages():
            sections = re.findall(r'<section id="([^"]+)"', read_page(name))
            for section in sections:
                with self.subTest(page=name, section=section):
                    self.assertIn((name, section), linked)


class Pictures(unittest.TestCase):
    def setUp(self):
        if not PICTURES:
            self.skipTest("this build has no quorvy-plot to draw the help's pictures")

    def pictures(self):
        for name in pages():
            for attributes, line in structure(name).pictures:
                yield name, line, attributes

    def test_every_picture_has_a_description(self):
        for name, line, attributes in self.pictures():
            with self.subTest(page=name, line=line):
                self.assertGreater(len(attributes.get("alt", "").split()), 3)

    def test_every_picture_resolves_to_a_png_of_the_size_the_page_gives(self):
        seen = 0
        for name, line, attributes in self.pictures():
            src = attributes.get("src", "")
            with self.subTest(page=name, line=line, src=src):
                self.assertFalse(urllib.parse.urlsplit(src).scheme)
                path = os.path.join(DOCS, src)
                self.assertTrue(os.path.isfile(path), "missing picture")
                with open(path, "rb") as f:
                    size = png.size(f.read(32))
                self.assertIsNotNone(size, "not a PNG file")
                self.assertGreater(min(size), 0)
                self.assertEqual(size, (int(attributes["width"]), int(attributes["height"])))
                seen += 1
        self.assertGreater(seen, 0)

    def test_every_drawn_picture_is_shown(self):
        used = {os.path.normpath(a["src"]) for _, _, a in self.pictures()}
        folder = os.path.join(DOCS, "pictures")
        for picture in sorted(os.listdir(folder)):
            with self.subTest(picture=picture):
                self.assertIn(os.path.join("pictures", picture), used)

    def test_the_pictures_show_what_their_captions_say(self):
        """Blue points where the formula has values, red ones where it has none."""
        folder = os.path.join(DOCS, "pictures")
        window = png.read(os.path.join(folder, "window.png"))
        self.assertGreater(window.count(png.strong_blue), 1000)
        self.assertEqual(window.count(png.strong_red), 0)
        log = png.read(os.path.join(folder, "undefined-log.png"))
        self.assertGreater(log.count(png.strong_red), 100)
        self.assertGreater(log.count(png.strong_blue), 100)
        for empty in ("no-function.png", "invalid.png"):
            self.assertEqual(png.read(os.path.join(folder, empty)).count(png.strong_blue), 0)


class SourceTreeCopy(unittest.TestCase):
    """DOCS/ in the source tree keeps a copy of the pictures, so that the page reads whole where
    it stands; it must show exactly what the build draws now."""

    def setUp(self):
        if not PICTURES:
            self.skipTest("this build has no quorvy-plot to draw the help's pictures")

    def test_the_copy_in_the_source_tree_equals_the_drawn_pictures(self):
        drawn = sorted(os.listdir(os.path.join(DOCS, "pictures")))
        kept = os.path.join(SOURCE, "DOCS", "pictures")
        self.assertEqual(sorted(os.listdir(kept)), drawn)
        for picture in drawn:
            with self.subTest(picture=picture):
                now = png.read(os.path.join(DOCS, "pictures", picture))
                copy = png.read(os.path.join(kept, picture))
                self.assertEqual((copy.width, copy.height), (now.width, now.height))
                self.assertTrue(copy.pixels == now.pixels,
                                "DOCS/pictures/%s differs from what the build draws: refresh it "
                                "with packaging/make_docs.py (see its usage)" % picture)


class MentionsTheProgram(unittest.TestCase):
    """Every menu command, key and message text of the program appears in the help, read from
    the resource script and the sources: a new one without help fails here."""

    @classmethod
    def setUpClass(cls):
        cls.help_text = " ".join(help_sources.visible_text(read_page(name)) for name in pages())

    def test_every_menu_command_key_and_dialog_text(self):
        with open(os.path.join(SOURCE, "app", "Quorvy.rc"), encoding="latin-1") as f:
            texts = help_sources.resource_texts(f.read())
        self.assertGreater(len(texts), 40)
        self.assertEqual(help_sources.missing_from(texts, self.help_text), [])

    def test_every_message_and_drawn_text(self):
        texts = help_sources.source_texts(SOURCE)
        self.assertGreater(len(texts), 60)
        self.assertEqual(help_sources.missing_from(texts, self.help_text), [])

    def test_the_messages_stand_with_their_titles(self):
        """Each message box of the program is shown in the help with its own title."""
        page = help_sources.visible_text(read_page("index.html"))
        boxes = re.findall(r'<span class="box"><span class="t">([^<]+)</span><span class="m">'
                           r"([^<]+)</span></span>", read_page("index.html"))
        shown = {(title, text) for title, text in boxes}
        program_boxes = message_boxes(SOURCE)
        self.assertGreaterEqual(len(program_boxes), 9)  # the table of messages was read
        for title, text in program_boxes:
            with self.subTest(message=text):
                self.assertIn((title, text), shown)
                self.assertIn(text, page)


def message_boxes(root):
    """(title, text) of every message box the program shows with fixed texts: the rows of its
    table of messages, and the calls of ShowMyMessage whose text and title are literals or
    k...Text / k...Title constants."""
    with open(os.path.join(root, "settings", "Messages.cpp"), encoding="latin-1") as f:
        rows = re.findall(r'\{\s*"((?:[^"\\]|\\.)*)",\s*"((?:[^"\\]|\\.)*)",', f.read())
    found = [(help_sources.unescape(title), help_sources.unescape(text)) for text, title in rows]
    for folder in help_sources.SOURCE_FOLDERS:
        for name in sorted(os.listdir(os.path.join(root, folder))):
            if not name.endswith(".cpp"):
                continue
            with open(os.path.join(root, folder, name), encoding="latin-1") as f:
                source = f.read()
            constants = dict(re.findall(r'\b(k\w+)(?:\[\])?\s*=\s*"((?:[^"\\]|\\.)*)"', source))
            for call in re.finditer(r"ShowMyMessage\(\s*[^,]+,\s*([^,]+),\s*([^,]+),", source):
                text, title = (resolve(a.strip(), constants) for a in call.groups())
                if text is not None and title is not None:
                    found.append((help_sources.unescape(title), help_sources.unescape(text)))
    return found


def resolve(argument, constants):
    if argument.startswith('"') and argument.endswith('"'):
        return argument[1:-1]
    return constants.get(argument)


class TheCheckCatchesOmissions(unittest.TestCase):
    """The coverage check itself: a message added to the sources without help is reported, with
    the place it comes from."""

    def test_a_new_message_box_text_is_reported(self):
        source = ('void F() {\n  ShowMyMessage(nullptr, "Formula troppo complessa", "Errore!", '
                  'kMbOk);\n}\n')
        missing = help_sources.missing_from(
            help_sources.texts_of_source(source, "engine/New.cpp"), "Errore! is known")
        self.assertEqual([(t.text, t.origin) for t in missing],
                         [("Formula troppo complessa", "engine/New.cpp:2")])

    def test_a_new_constant_menu_item_and_key_are_reported(self):
        source = 'constexpr const char* kZoomText = "Zoom non disponibile";\n'
        rc = ('M MENU\nBEGIN\n  POPUP "&View"\n  BEGIN\n    MENUITEM "Grid\\tCtrl+G", 1\n'
              '  END\nEND\nA ACCELERATORS\nBEGIN\n  7, 1, ASCII, NOINVERT\nEND\n')
        texts = help_sources.texts_of_source(source, "x.cpp") + help_sources.resource_texts(rc)
        missing = [t.text for t in help_sources.missing_from(texts, "Zoom View")]
        self.assertEqual(missing, ["Zoom non disponibile", "Alt+V", "Grid", "Ctrl+G", "Ctrl+G"])

    def test_comments_formats_and_resource_names_give_nothing(self):
        source = ('// "Not shown"\n/* "Nor this" */\n#include "x.h"\n'
                  'f("%9.3f "); g("EDITDLG"); h(\'"\'); k("Start with number %f");\n')
        texts = help_sources.texts_of_source(source, "x.cpp", {"EDITDLG"})
        self.assertEqual([t.text for t in texts], ["Start with number"])


if __name__ == "__main__":
    testing.main()
