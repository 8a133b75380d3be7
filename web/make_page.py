"""Assembles the page: the template with its two scripts and the WebAssembly module (as base64)
written into it, so that one file works opened from disk, where a page cannot fetch anything."""
import argparse
import base64


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def main():
    parser = argparse.ArgumentParser()
    for name in ("template", "page", "worker", "wasm", "out"):
        parser.add_argument("--" + name, required=True)
    a = parser.parse_args()
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
