#!/usr/bin/env python3
"""Prints the size of the test code against the product code, in lines.

Product code: every text file under VUZODO/, QELObjectLibrary/, QELHatching/, tools/,
include/ and the Python package (python/vuzodo/). Test code: every text file under
tests/ and python/tests/ except golden data (files in a golden/ folder or named
*.golden), which is the expected output, not code. Binary files (fonts) have no lines.
The target is 25-35 %; --check exits 1 outside it.

  scripts/test-ratio.py [--check]
"""
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
PRODUCT = ("VUZODO/", "QELObjectLibrary/", "QELHatching/", "tools/", "include/", "python/vuzodo/")
TESTS = ("tests/", "python/tests/")
TARGET = (25.0, 35.0)


def files():
    listed = subprocess.run(["git", "-C", str(ROOT), "ls-files", "--cached", "--others",
                             "--exclude-standard"], check=True, capture_output=True,
                            text=True).stdout.split("\n")
    return [f for f in listed if f and (ROOT / f).is_file()]


def lines(path: Path) -> int:
    data = path.read_bytes()
    if b"\0" in data:
        return 0
    try:
        data.decode("utf-8")
    except UnicodeDecodeError:
        return 0
    return data.count(b"\n") + (0 if data.endswith(b"\n") or not data else 1)


def golden(name: str) -> bool:
    return "/golden/" in name or name.endswith(".golden")


def main() -> int:
    groups: dict[str, int] = {}
    product = tests = 0
    for name in files():
        if name.startswith(TESTS):
            if golden(name):
                continue
            n = lines(ROOT / name)
            tests += n
            group = "/".join(name.split("/")[:2])
            groups[group] = groups.get(group, 0) + n
        elif name.startswith(PRODUCT):
            product += lines(ROOT / name)
    ratio = 100.0 * tests / product if product else 0.0
    for group, n in sorted(groups.items(), key=lambda item: -item[1]):
        print(f"  {group:<22} {n:>6}")
    print(f"test code {tests} lines, product code {product} lines: {ratio:.1f} % "
          f"(target {TARGET[0]:.0f}-{TARGET[1]:.0f} %)")
    if "--check" in sys.argv[1:] and not TARGET[0] <= ratio <= TARGET[1]:
        print(f"test-ratio: {ratio:.1f} % is outside {TARGET[0]:.0f}-{TARGET[1]:.0f} %",
              file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
