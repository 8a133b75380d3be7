"""What the user's help has to mention, read from the program itself, and the text of the help.

Program texts come from two places:
- the resource script app/Quorvy.rc: the menus and their items, the keys of the accelerator
  table and of the menu mnemonics, and every text of the dialogs;
- the string literals of the program's sources (app/, platform/, engine/, settings/, output/,
  plot/): the messages, their titles, the trace labels, the texts drawn in the plot and in Curve
  Info, the names of files and dialogs. Left out are the portable platform side that only tests and tools
  use (QUORVY_PORTABLE_PLATFORM in CMakeLists.txt), resource names defined in the resource
  script, the messages of compile-time checks, and the few internal names listed in
  INTERNAL_NAMES.

A literal that is a printf format gives its words between the conversions ("Start with number
%f" gives "Start with number"); a literal without any letter gives nothing.
"""
import html.parser
import os
import re

SOURCE_FOLDERS = ["app", "platform", "engine", "settings", "output", "plot"]

# Names in the sources that the user never sees.
INTERNAL_NAMES = {
    "QuorvyWClass": "the window class name",
    "courier": "the face name of the start-up font, which no paint uses",
}

# Virtual keys of the accelerator table, as the help writes them.
VIRTUAL_KEYS = {"VK_DELETE": "Del", "VK_INSERT": "Ins", "VK_ESCAPE": "Esc", "VK_RETURN": "Enter",
                "VK_TAB": "Tab", "VK_BACK": "Backspace", "VK_HOME": "Home", "VK_END": "End"}
for _n in range(1, 13):
    VIRTUAL_KEYS["VK_F%d" % _n] = "F%d" % _n

CONVERSION = re.compile(r"%[-+ #0]*(?:\*|\d+)?(?:\.(?:\*|\d+))?(?:hh|h|ll|l|L|z|j|t)?[diouxXeEfFgGaAcspn%]")


class Text:
    """One text that the help has to show, and where it comes from."""

    def __init__(self, text, origin):
        self.text = " ".join(text.split())
        self.origin = origin

    def __repr__(self):
        return "%r (%s)" % (self.text, self.origin)


def unescape(literal):
    """The characters of a C or resource string literal's body."""
    out = []
    i = 0
    while i < len(literal):
        c = literal[i]
        if c == "\\" and i + 1 < len(literal):
            nxt = literal[i + 1]
            out.append({"n": "\n", "t": "\t", "0": "\0", "r": "\r"}.get(nxt, nxt))
            i += 2
        elif c == '"' and literal[i + 1:i + 2] == '"':  # "" inside a resource string
            out.append('"')
            i += 2
        else:
            out.append(c)
            i += 1
    return "".join(out)


def c_literals(source):
    """(line, text) of every string literal of C++ source text outside comments, preprocessor
    lines and character constants; adjacent literals are joined as the compiler joins them."""
    found = []
    i = 0
    line = 1
    last_end = None  # index just after the previous literal, to join adjacent ones
    n = len(source)
    at_line_start = True
    while i < n:
        c = source[i]
        if c == "\n":
            line += 1
            i += 1
            at_line_start = True
            continue
        if at_line_start and c == "#":
            while i < n and source[i] != "\n":
                i += 1
            continue
        if not c.isspace():
            at_line_start = False
        if source.startswith("//", i):
            while i < n and source[i] != "\n":
                i += 1
            continue
        if source.startswith("/*", i):
            end = source.find("*/", i + 2)
            end = n if end < 0 else end + 2
            line += source.count("\n", i, end)
            i = end
            continue
        if c == "'":
            j = i + 1
            while j < n and source[j] != "'":
                j += 2 if source[j] == "\\" else 1
            i = j + 1
            continue
        if c == '"':
            j = i + 1
            while j < n and source[j] != '"':
                j += 2 if source[j] == "\\" else 1
            body = unescape(source[i + 1:j])
            if last_end is not None and source[last_end:i].strip() == "" and found:
                found[-1] = (found[-1][0], found[-1][1] + body)
            else:
                found.append((line, body))
            i = j + 1
            last_end = i
            continue
        i += 1
    return found


def words_of(literal):
    """The pieces of a literal that a user can read: split at line breaks, NULs and printf
    conversions, trimmed of blanks and separators, each with at least one letter."""
    pieces = []
    for part in re.split(r"[\n\0\t]", literal):
        for piece in CONVERSION.split(part):
            piece = piece.strip(" ;,")
            if re.search(r"[A-Za-z]", piece) and not CONVERSION.fullmatch(piece):
                pieces.append(piece)
    return pieces


def portable_platform_files(root):
    """The files of QUORVY_PORTABLE_PLATFORM in CMakeLists.txt: tests and tools use them, the
    program does not."""
    with open(os.path.join(root, "CMakeLists.txt"), encoding="utf-8") as f:
        match = re.search(r"set\(QUORVY_PORTABLE_PLATFORM([^)]*)\)", f.read())
    return set(match.group(1).split()) if match else set()


def resource_names(rc_text):
    """Names of the menus, accelerator tables and dialogs that the resource script defines."""
    return set(re.findall(r"^\s*([A-Z_][A-Z0-9_]*)\s+(?:MENU|ACCELERATORS|DIALOG|DIALOGEX)\b",
                          rc_text, re.M))


def source_texts(root, rc_text=None):
    if rc_text is None:
        with open(os.path.join(root, "app", "Quorvy.rc"), encoding="latin-1") as f:
            rc_text = f.read()
    skip_files = portable_platform_files(root)
    skip_names = resource_names(rc_text) | set(INTERNAL_NAMES)
    texts = []
    for folder in SOURCE_FOLDERS:
        for name in sorted(os.listdir(os.path.join(root, folder))):
            relative = folder + "/" + name
            if not name.endswith(".cpp") or relative in skip_files:
                continue
            with open(os.path.join(root, folder, name), encoding="latin-1") as f:
                source = f.read()
            texts += texts_of_source(source, relative, skip_names)
    return texts


# A compile-time check's message is read by developers only; it is blanked out (its lines kept).
STATIC_ASSERT = re.compile(r"\bstatic_assert\s*\(.*?\);", re.S)


def texts_of_source(source, origin, skip_names=()):
    texts = []
    source = STATIC_ASSERT.sub(lambda m: "\n" * m.group(0).count("\n"), source)
    for line, literal in c_literals(source):
        if literal in skip_names:
            continue
        for piece in words_of(literal):
            texts.append(Text(piece, "%s:%d" % (origin, line)))
    return texts


def ctrl_key(code):
    return "Ctrl+" + chr(ord("A") + code - 1)


def resource_texts(rc_text, origin="app/Quorvy.rc"):
    """Menu items, popup menus with their Alt keys, accelerator keys and dialog texts."""
    texts = []
    in_accelerators = False
    in_version = False
    literal = r'"((?:[^"]|"")*)"'
    for number, line in enumerate(rc_text.splitlines(), 1):
        where = "%s:%d" % (origin, number)
        stripped = line.strip()
        if re.match(r"^\w+\s+ACCELERATORS\b", stripped):
            in_accelerators = True
            continue
        if re.match(r"^\w+\s+VERSIONINFO\b", stripped):
            in_version = True
            continue
        if in_version:
            continue  # the version record is read by file managers, not shown by the program
        if in_accelerators:
            if stripped == "END":
                in_accelerators = False
                continue
            fields = [f.strip() for f in stripped.split(",")]
            if len(fields) >= 2 and fields[0] not in ("BEGIN", ""):
                texts += accelerator_keys(fields, where)
            continue
        m = re.match(r"^(POPUP|MENUITEM)\s+" + literal, stripped)
        if m:
            body = unescape(m.group(2))
            name, _, key = body.partition("\t")
            if "&" in name:
                mnemonic = name[name.index("&") + 1]
                texts.append(Text("Alt+" + mnemonic.upper(), where))
            texts.append(Text(name.replace("&", ""), where))
            if key.strip():
                texts.append(Text(key.strip(), where))
            continue
        m = re.match(r"^(CAPTION|LTEXT|RTEXT|CTEXT|GROUPBOX|PUSHBUTTON|DEFPUSHBUTTON|CHECKBOX|"
                     r"AUTOCHECKBOX|RADIOBUTTON|AUTORADIOBUTTON)\s+" + literal, stripped)
        if m:
            for piece in unescape(m.group(2)).split("\n"):
                if piece.strip():
                    texts.append(Text(piece.strip(), where))
    return texts


def accelerator_keys(fields, where):
    key = fields[0]
    flags = {f.upper() for f in fields[2:]}
    if key.startswith("VK_"):
        if key not in VIRTUAL_KEYS:
            raise ValueError("%s: no help name for the virtual key %s; add it to VIRTUAL_KEYS"
                             % (where, key))
        name = VIRTUAL_KEYS[key]
        if "CONTROL" in flags:
            name = "Ctrl+" + name
        return [Text(name, where)]
    if key.startswith('"^') and len(key) == 4:
        code = ord(key[2].upper()) - ord("A") + 1
    elif key.isdigit():
        code = int(key)
    elif key.startswith('"') and len(key) == 3:
        return [Text(key[1], where)]
    else:
        raise ValueError("%s: unknown accelerator %s" % (where, key))
    keys = [Text(ctrl_key(code), where)] if 1 <= code <= 26 else []
    if code == 9:
        keys.append(Text("Tab", where))  # the Tab key types the same character as Ctrl+I
    return keys


def program_texts(root):
    with open(os.path.join(root, "app", "Quorvy.rc"), encoding="latin-1") as f:
        rc_text = f.read()
    return resource_texts(rc_text) + source_texts(root, rc_text)


# ----------------------------------------------------------------------------------------------
# The help's text, as a reader sees it.

BLOCKS = {"address", "article", "aside", "blockquote", "br", "caption", "dd", "div", "dl", "dt",
          "figcaption", "figure", "footer", "h1", "h2", "h3", "h4", "h5", "h6", "header", "hr",
          "li", "main", "nav", "ol", "p", "pre", "section", "table", "tbody", "td", "tfoot",
          "th", "thead", "title", "tr", "ul"}


class _TextCollector(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.parts = []
        self.hidden = 0

    def handle_starttag(self, tag, attrs):
        if tag in ("style", "script"):
            self.hidden += 1
        if tag in BLOCKS:
            self.parts.append(" ")
        if tag == "img":
            self.parts.append(" " + dict(attrs).get("alt", "") + " ")

    def handle_endtag(self, tag):
        if tag in ("style", "script"):
            self.hidden -= 1
        if tag in BLOCKS:
            self.parts.append(" ")

    def handle_data(self, data):
        if not self.hidden:
            self.parts.append(data)


def visible_text(page_html):
    """The words of a page in reading order, blanks collapsed: inline markup such as <code> or
    <kbd> does not split a phrase, block ends do."""
    collector = _TextCollector()
    collector.feed(page_html)
    collector.close()
    return " ".join("".join(collector.parts).replace("\u00a0", " ").split())


def missing_from(texts, help_text):
    return [t for t in texts if t.text not in help_text]
