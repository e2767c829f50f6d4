#!/usr/bin/python3
"""The DLL's export names against an independent mangler.

  exports_test.py decoration HEADER
      cmake/make_def.py's decorated names for 32- and 64-bit Windows against clang's Microsoft
      C++ mangling of the same declarations.
  exports_test.py table HEADER DLL x86|x64 OBJDUMP
      a built DLL's export table read back with objdump: every export under its plain name
      (AppendCharactersOVF excepted) and clang's decorated name, both at the same address, and
      nothing else; imports from system DLLs only.
"""
import os
import re
import subprocess
import sys
import tempfile

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
MAKE_DEF = os.path.join(ROOT, "cmake", "make_def.py")
DECORATED_ONLY = {"AppendCharactersOVF"}
# What a drop-in DLL may import: Windows' own libraries, no compiler runtime.
SYSTEM_DLLS = {"kernel32.dll", "gdi32.dll", "user32.dll", "msvcrt.dll", "advapi32.dll"}
TRIPLES = {"x86": "i686-pc-windows-msvc", "x64": "x86_64-pc-windows-msvc"}

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def run(*args):
    return subprocess.run(args, check=True, capture_output=True, text=True).stdout


def clang_names(header, arch):
    """{function: decorated name} as clang mangles the header's exports."""
    with tempfile.TemporaryDirectory() as tmp:
        source = os.path.join(tmp, "exports.cpp")
        run(sys.executable, MAKE_DEF, header, "cxx", source)
        ir = run("clang++", "--target=" + TRIPLES[arch], "-std=c++17", "-S", "-emit-llvm",
                 "-o", "-", source)
    names = {name[1:name.index("@")]: name for name in set(re.findall(r'@"(\?[^"]+)"', ir))}
    names.pop("vuzodo_exports", None)
    return names


def header_functions(header):
    text = re.sub(r"/\*.*?\*/", "", open(header, encoding="utf-8").read(), flags=re.S)
    return re.findall(r"^VUZODO_API\s+.+?\s+VUZODO_CALL\s+(\w+)\s*\(", text, flags=re.M)


def test_decoration(header):
    functions = header_functions(header)
    check(len(functions) == 77, f"{len(functions)} exports in the header")
    for arch in ("x86", "x64"):
        expected = clang_names(header, arch)
        check(set(expected) == set(functions), f"{arch}: clang mangled {len(expected)} functions")
        ours = dict(line.split("\t") for line in
                    run(sys.executable, MAKE_DEF, header, "--arch", arch, "decorated").splitlines())
        for function in functions:
            check(ours.get(function) == expected.get(function),
                  f"{arch} {function}: make_def.py {ours.get(function)}, "
                  f"clang {expected.get(function)}")
        listed = run(sys.executable, MAKE_DEF, header, "--arch", arch, "names").split()
        check(len(listed) == 153, f"{arch}: {len(listed)} names in the export list")
        check(len(set(listed)) == len(listed), f"{arch}: a name listed twice")


def read_exports(objdump, dll):
    """({name: rva}, [imported dll names]) from objdump -p."""
    text = run(objdump, "-p", dll)
    rvas = {int(index): int(rva, 16) for index, rva in re.findall(
        r"^\s*\[\s*(\d+)\] \+base\[\s*\d+\] ([0-9a-f]+) Export RVA", text, flags=re.M)}
    table = (text.split("[Ordinal/Name Pointer] Table", 1) + [""])[1]
    names = {name: rvas.get(int(index))
             for index, name in re.findall(r"^\s*\[\s*(\d+)\] (\S+)\s*$", table, flags=re.M)}
    return names, re.findall(r"DLL Name: (\S+)", text)


def test_table(header, dll, arch, objdump):
    functions = header_functions(header)
    decorated = clang_names(header, arch)
    names, imports = read_exports(objdump, dll)
    expected = {f for f in functions if f not in DECORATED_ONLY} | set(decorated.values())
    check(len(expected) == 153, f"{len(expected)} names expected")
    check(len(names) == 153, f"{len(names)} names in the DLL's table")
    check(expected <= set(names), f"missing from the table: {sorted(expected - set(names))}")
    check(set(names) <= expected, f"exported but not in the header: {sorted(set(names) - expected)}")
    for function in set(functions) - DECORATED_ONLY:
        check(function not in names or names[function] == names.get(decorated.get(function)),
              f"{function}: the plain and the decorated name lead to different addresses")
    addresses = {names[d] for d in decorated.values() if d in names}
    check(len(addresses) == len(functions), f"{len(addresses)} distinct function addresses")
    for dll_name in imports:
        check(dll_name.lower() in SYSTEM_DLLS, f"imports {dll_name}, not a system DLL")
    print(f"{len(names)} names, {len(addresses)} functions, imports {', '.join(imports)}")


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "decoration":
        test_decoration(sys.argv[2])
    elif len(sys.argv) == 6 and sys.argv[1] == "table":
        test_table(*sys.argv[2:])
    else:
        sys.exit(__doc__)
    for failure in failures:
        print("FAIL:", failure)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
