#!/usr/bin/env python3
"""Writes docs/reference.md from the comments of include/vuzodo/vuzodo.h.

    docs/make_reference.py            rewrite docs/reference.md
    docs/make_reference.py --check    exit 1 when the file is out of date

The header is the one place the interface is described; this page only
arranges it: the section banners become headings, each export its prototype
and its comment, and the enumerations and records are listed with theirs.
"""
import os
import re
import sys

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
sys.path.insert(0, os.path.join(ROOT, "cmake"))
from make_def import Header  # noqa: E402  (the one reader of the declarations)

HEADER = os.path.join(ROOT, "include", "vuzodo", "vuzodo.h")
OUT = os.path.join(ROOT, "docs", "reference.md")


def clean_comment(text):
    lines = []
    for line in text.splitlines():
        line = re.sub(r"^\s*/?\*+/?\s?", "", line).rstrip()
        line = re.sub(r"\s*\*/$", "", line)
        lines.append(line)
    return " ".join(l.strip() for l in lines if l.strip())


def build():
    src = open(HEADER, encoding="utf-8").read()
    out = ["# Interface reference", "",
           "Generated from `include/vuzodo/vuzodo.h` by `docs/make_reference.py`; the header "
           "is the source. Lengths are user units unless marked; outlines come back in output "
           "units (user units times the unit size U). Arrays the engine returns are released "
           "with `DeleteTTFData` (int arrays) or `DeleteCaretData` (caret arrays).", ""]
    # Types first: enumerations and records with their comments.
    out += ["## Types", ""]
    for comment, _, _, body, name in re.findall(
            r"(/\*\*(?:(?!\*/).)*\*/)?\s*typedef (?:VUZODO_(ENUM)\(\w+\)|(enum|struct) \w+) \{(.*?)\} (\w+);", src, flags=re.S):
        out.append(f"### `{name}`")
        if comment:
            out += ["", clean_comment(comment)]
        out += [""]
        for member in body.split("\n"):
            m = re.match(r"\s*([^/]*?)[,;]?\s*(?:/\*\*<\s*(.*?)\s*\*/)?\s*$", member)
            if not m or not m.group(1).strip() or "FORCE32" in m.group(1):
                continue
            note = f": {m.group(2)}" if m.group(2) else ""
            out.append(f"- `{m.group(1).strip()}`{note}")
        out.append("")
    # Exports in header order, under the section banners.
    count = 0
    pattern = re.compile(
        r"/\* -{10,} \*/\n((?:/\*[^\n]*\*/\n)*)/\* -{10,} \*/"  # a banner
        r"|(/\*\*(?:(?!\*/).)*\*/)\s*\n(VUZODO_API[^;]*;)",  # a documented export
        flags=re.S)
    for m in pattern.finditer(src):
        if m.group(1) is not None:
            title = " ".join(re.sub(r"^/\*\s*|\s*\*/$", "", l).strip()
                             for l in m.group(1).splitlines()).strip()
            if title:
                out += [f"## {title}", ""]
            continue
        declaration = " ".join(m.group(3).replace("VUZODO_API ", "").replace("VUZODO_CALL ", "")
                               .replace(" VUZODO_REF ", "* ").split())
        name = re.search(r"(\w+)\s*\(", declaration).group(1)
        count += 1
        out += [f"### `{name}`", "", "```c", declaration, "```", "", clean_comment(m.group(2)),
                ""]
    out.append(f"_{count} exports._")
    return "\n".join(out) + "\n", count


def main():
    text, count = build()
    declared = len(Header(HEADER).functions)
    if count != declared:
        print(f"make_reference: found {count} documented exports, the header declares {declared}",
              file=sys.stderr)
        return 1
    if "--check" in sys.argv:
        current = open(OUT, encoding="utf-8").read() if os.path.exists(OUT) else ""
        if current != text:
            print("docs/reference.md is out of date: run docs/make_reference.py", file=sys.stderr)
            return 1
        return 0
    open(OUT, "w", encoding="utf-8").write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
