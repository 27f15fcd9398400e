#!/usr/bin/env python3
"""Every relative link and image of README.md and docs/*.md must lead somewhere: the file
exists, and an #anchor names a heading of the target Markdown file as GitHub slugs it.
Usage: check_links.py SOURCE_ROOT. Prints each broken link and exits 1 if there is one."""

import re
import sys
from pathlib import Path

LINK = re.compile(r"!?\[(?:[^\]\[]|\[[^\]]*\])*\]\(\s*<?([^)\s>]+)>?(?:\s+\"[^\"]*\")?\s*\)")
FENCE = re.compile(r"^\s*(```|~~~)")
HEADING = re.compile(r"^\s{0,3}(#{1,6})\s+(.*?)\s*#*\s*$")


def without_code(text):
    """The lines outside fenced blocks, with inline code spans blanked out."""
    lines, fenced = [], False
    for line in text.splitlines():
        if FENCE.match(line):
            fenced = not fenced
            lines.append("")
            continue
        lines.append("" if fenced else re.sub(r"`[^`]*`", lambda m: " " * len(m.group(0)), line))
    return lines


def slug(heading):
    """GitHub's anchor for a heading: markup dropped, lower case, punctuation other than
    '-' and '_' removed (letters of any script kept), spaces to '-'."""
    text = re.sub(r"!?\[([^\]]*)\]\([^)]*\)", r"\1", heading)
    text = re.sub(r"[`*]|<[^>]+>", "", text).strip().lower()
    text = "".join(c for c in text if c.isalnum() or c in " -_")
    return text.replace(" ", "-")


def anchors(path, cache={}):
    if path not in cache:
        seen, found = {}, set()
        fenced = False
        for line in path.read_text(encoding="utf-8").splitlines():
            if FENCE.match(line):
                fenced = not fenced
                continue
            m = None if fenced else HEADING.match(line)
            if m:
                base = slug(m.group(2))
                n = seen.get(base, 0)
                seen[base] = n + 1
                found.add(base if n == 0 else f"{base}-{n}")
        cache[path] = found
    return cache[path]


def check(root):
    documents = [root / "README.md"] + sorted((root / "docs").glob("*.md"))
    broken = []
    for doc in documents:
        for number, line in enumerate(without_code(doc.read_text(encoding="utf-8")), 1):
            for m in LINK.finditer(line):
                target = m.group(1)
                if re.match(r"^[a-z][a-z0-9+.-]*:", target, re.I):
                    continue  # http:, mailto: ...: not ours to check
                name, _, anchor = target.partition("#")
                path = (doc.parent / name).resolve() if name else doc
                where = f"{doc.relative_to(root)}:{number}: {target}"
                if not path.exists():
                    broken.append(f"{where}: no file {path}")
                elif anchor and path.suffix == ".md" and anchor.lower() not in anchors(path):
                    broken.append(f"{where}: no heading #{anchor} in {path.name}")
    return len(documents), broken


def main():
    root = Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
    count, broken = check(root)
    for b in broken:
        print(b)
    print(f"{count} documents, {len(broken)} broken links")
    return 1 if broken else 0


if __name__ == "__main__":
    sys.exit(main())
