#!/usr/bin/python3
"""Export names against clang's Microsoft mangling of the header. decoration HEADER: make_def.py's
names (x86, x64). table HEADER DLL x86|x64 OBJDUMP: the DLL exports plain and decorated names at one
address, nothing else, and imports system DLLs only."""
import os
import re
import subprocess
import sys
import tempfile

MAKE_DEF = os.path.join(os.path.dirname(__file__), "..", "..", "cmake", "make_def.py")
sys.path.insert(0, os.path.dirname(MAKE_DEF))
from make_def import DECORATED_ONLY, Header  # noqa: E402  (the one reader of the header)
SYSTEM_DLLS = {"kernel32.dll", "gdi32.dll", "user32.dll", "msvcrt.dll", "advapi32.dll"}
TRIPLES = {"x86": "i686-pc-windows-msvc", "x64": "x86_64-pc-windows-msvc"}
failures = []


def check(condition, message):
    failures.extend([] if condition else [message])


def run(*args):
    return subprocess.run(args, check=True, capture_output=True, text=True).stdout


def functions_and_clang_names(header, arch):
    """(the header's 77 functions, {function: decorated name as clang mangles it})"""
    functions = [f[0] for f in Header(header).functions]
    with tempfile.TemporaryDirectory() as tmp:
        source = os.path.join(tmp, "exports.cpp")
        run(sys.executable, MAKE_DEF, header, "cxx", source)
        ir = run("clang++", "--target=" + TRIPLES[arch], "-std=c++17", "-S", "-emit-llvm",
                 "-o", "-", source)
    names = {name[1:name.index("@")]: name for name in set(re.findall(r'@"(\?[^"]+)"', ir))}
    names.pop("vuzodo_exports", None)
    check(len(functions) == 77 and set(names) == set(functions),
          f"{arch}: {len(functions)} exports in the header, clang mangled {len(names)}")
    return functions, names


def test_decoration(header):
    for arch in TRIPLES:
        functions, expected = functions_and_clang_names(header, arch)
        ours = dict(line.split("\t") for line in
                    run(sys.executable, MAKE_DEF, header, "--arch", arch, "decorated").splitlines())
        for function in functions:
            check(ours.get(function) == expected.get(function),
                  f"{arch} {function}: make_def.py {ours.get(function)}, "
                  f"clang {expected.get(function)}")
        listed = run(sys.executable, MAKE_DEF, header, "--arch", arch, "names").split()
        check(len(listed) == len(set(listed)) == 153, f"{arch}: {len(listed)} names listed, "
              f"{len(set(listed))} distinct")


def test_table(header, dll, arch, objdump):
    functions, decorated = functions_and_clang_names(header, arch)
    text = run(objdump, "-p", dll)
    rvas = {int(index): int(rva, 16) for index, rva in re.findall(
        r"^\s*\[\s*(\d+)\] \+base\[\s*\d+\] ([0-9a-f]+) Export RVA", text, flags=re.M)}
    table = (text.split("[Ordinal/Name Pointer] Table", 1) + [""])[1]
    names = {name: rvas.get(int(index))
             for index, name in re.findall(r"^\s*\[\s*(\d+)\] (\S+)\s*$", table, flags=re.M)}
    imports = re.findall(r"DLL Name: (\S+)", text)
    expected = {f for f in functions if f not in DECORATED_ONLY} | set(decorated.values())
    check(len(expected) == len(names) == 153, f"{len(names)} names in the DLL's table")
    check(expected == set(names), f"missing from the table: {sorted(expected - set(names))}, "
          f"exported but not in the header: {sorted(set(names) - expected)}")
    for function in set(functions) - DECORATED_ONLY:
        check(function not in names or names[function] == names.get(decorated.get(function)),
              f"{function}: the plain and the decorated name lead to different addresses")
    addresses = {names[d] for d in decorated.values() if d in names}
    check(len(addresses) == len(functions), f"{len(addresses)} distinct function addresses")
    check({d.lower() for d in imports} <= SYSTEM_DLLS, f"imports {imports}, not all system DLLs")
    print(f"{len(names)} names, {len(addresses)} functions, imports {', '.join(imports)}")


if len(sys.argv) == 3 and sys.argv[1] == "decoration":
    test_decoration(sys.argv[2])
elif len(sys.argv) == 6 and sys.argv[1] == "table":
    test_table(*sys.argv[2:])
else:
    sys.exit(__doc__)
for failure in failures:
    print("FAIL:", failure)
sys.exit(1 if failures else 0)
