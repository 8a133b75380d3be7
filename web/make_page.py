"""Assembles the page: the template with its two scripts and the WebAssembly module (as base64)
written into it, so that one file works opened from disk, where a page cannot fetch anything.
The settings dialog's fields in the template must be those of the core's table, with its ids,
labels and order."""
import argparse
import base64
import html
import re


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def core_fields(table_source, ids_header):
    """(id, label) of each row of kSettingsFields, in order."""
    ids = dict(re.findall(r"constexpr int (kId\w+) = (\d+);", read(ids_header)))
    table = re.search(r"kSettingsFields\[\w*\] = \{(.*?)\n\};", read(table_source), re.S)
    if not table:
        raise SystemExit("no kSettingsFields table in " + table_source)
    rows = re.findall(r'\{(\w+), "([^"]*)"\}', table.group(1))
    return [(ids.get(name, name), label) for name, label in rows]


def page_fields(template):
    """(id, label) of each settings control of the template, in order."""
    edit = r'<label for="([\w-]+)">([^<]*)</label><input id="\1" data-id="(\d+)">'
    check = r'<input type="checkbox" data-id="(\d+)">([^<]*)</label>'
    found = [(m.start(), m.group(3), m.group(2)) for m in re.finditer(edit, template)]
    found += [(m.start(), m.group(1), m.group(2)) for m in re.finditer(check, template)]
    return [(id_, html.unescape(label)) for _, id_, label in sorted(found)]


def main():
    parser = argparse.ArgumentParser()
    for name in ("template", "page", "worker", "wasm", "out", "settings", "ids"):
        parser.add_argument("--" + name, required=True)
    a = parser.parse_args()
    expected = core_fields(a.settings, a.ids)
    if page_fields(read(a.template)) != expected:
        raise SystemExit("the settings fields of %s differ from the table of %s: %s" %
                         (a.template, a.settings, expected))
    with open(a.wasm, "rb") as f:
        wasm = base64.b64encode(f.read()).decode("ascii")
    parts = {"@PAGE_SCRIPT@": read(a.page), "@WORKER_SCRIPT@": read(a.worker),
             "@CORE_WASM_BASE64@": wasm}
    page = read(a.template)
    for mark, text in parts.items():
        if "</script" in text.lower():
            raise SystemExit("%s would end its script element early" % mark)
        if page.count(mark) != 1:
            raise SystemExit("the template must hold %s once" % mark)
        page = page.replace(mark, text)
    with open(a.out, "w", encoding="utf-8") as f:
        f.write(page)


if __name__ == "__main__":
    main()
