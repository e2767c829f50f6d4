#!/usr/bin/python3
"""The one reader of the interface: include/vuzodo/vuzodo.h.

Everything that lists the exports is made here from the header's declarations
and from the "Trace:" line that ends each one's comment: the linker's version
script and name list, the DLL's module-definition file, the C++ table that the
engine's trace lines, the trace reader, the replayer and the fuzzer are built
on, and the ctypes table of the Python package.

Every export of include/vuzodo/vuzodo.h is exported under its plain name and
under its C++ decorated name in the Microsoft scheme for __cdecl free
functions, both leading to the same function; AppendCharactersOVF only under
its decorated name. The names are derived from the header's declarations, so
the header and the table cannot disagree.

  make_def.py HEADER --arch x86|x64 def OUT.def     module-definition file
  make_def.py HEADER --arch x86|x64 names           the export names, one a line
  make_def.py HEADER --arch x86|x64 decorated       plain TAB decorated, one a line
  make_def.py HEADER cxx OUT.cpp                    the exports declared as C++
                                                    (for a C++ compiler to mangle)
  make_def.py HEADER map OUT                        the linker's version script
  make_def.py HEADER list OUT                        the plain export names, one a line
  make_def.py HEADER table OUT.h                    the C++ table (VUZODO_INTERFACE)
  make_def.py HEADER python OUT.py [--check]        the Python package's ctypes table
"""
import argparse
import os
import re
import sys

# Exported under the decorated name only.
DECORATED_ONLY = {"AppendCharactersOVF"}

BUILTINS = {
    "void": "X", "bool": "_N", "char": "D", "signed char": "C", "unsigned char": "E",
    "short": "F", "unsigned short": "G", "int": "H", "unsigned int": "I", "unsigned": "I",
    "long": "J", "unsigned long": "K", "float": "M", "double": "N", "wchar_t": "_W",
    "char16_t": "_S", "char32_t": "_U", "long long": "_J", "unsigned long long": "_K",
}


class Header:
    """The declarations and type names of the header."""

    def __init__(self, path):
        text = open(path, encoding="utf-8").read()
        text = re.sub(r"/\*.*?\*/", "", text, flags=re.S)
        self.enums = set(re.findall(r"typedef VUZODO_ENUM\((\w+)\)", text))
        self.structs = set(re.findall(r"typedef struct (\w+)\s*\{", text))
        # typedef <builtin> name; (the header's boolean for C and C++)
        self.aliases = {}
        for target, name in re.findall(r"typedef\s+(bool|int|unsigned \w+)\s+(\w+);", text):
            self.aliases[name] = target
        self.functions = []  # (name, result, [parameter types])
        self.parameters = {}  # name: [parameter names]
        for result, name, params in re.findall(
                r"^VUZODO_API\s+(.+?)\s+VUZODO_CALL\s+(\w+)\s*\((.*?)\);", text,
                flags=re.S | re.M):
            params = " ".join(params.split())
            types = []
            self.parameters[name] = []
            for param in ([] if params in ("", "void") else params.split(",")):
                types.append(self.parse_type(param, named=True))
                self.parameters[name].append(param.split()[-1])
            self.functions.append((name, self.parse_type(result, named=False), types))
        self.traces = self.read_traces(path)

    def read_traces(self, path):
        """name: the trace line's template, from the "Trace:" line that ends the
        export's comment (continued on the next comment lines, joined by a
        space); None for an export that writes no line."""
        text = open(path, encoding="utf-8").read()
        traces = {}
        for comment, name in re.findall(
                r"/\*\*((?:(?!\*/).)*)\*/\s*\nVUZODO_API[^;(]*?VUZODO_CALL\s+(\w+)\s*\(",
                text, flags=re.S):
            m = re.search(r"Trace: `(.*?)`", comment, flags=re.S)
            traces[name] = " ".join(re.split(r"\s*\n\s*\*\s*", m.group(1))) if m else None
        for name in self.parameters:
            if name not in traces:
                raise SystemExit(f"make_def.py: {name} has no comment in the header")
            for ref in re.findall(r"\{(\w+)\}", traces[name] or ""):
                if ref not in self.parameters[name]:
                    raise SystemExit(f"make_def.py: {name}'s trace names no parameter '{ref}'")
        return traces

    def parse_type(self, text, named):
        """A declaration's type as (base, [modifiers innermost first]); each
        modifier is 'P' (pointer), 'CP' (pointer to const) or 'R' (reference)."""
        text = " ".join(text.replace("*", " * ").replace("VUZODO_REF", " & ").split())
        words = text.split(" ")
        if named:
            words = words[:-1]  # the parameter's name
        base, mods, const = [], [], False
        for w in words:
            if w == "const":
                const = True
            elif w in ("*", "&"):
                mods.append(("C" if const else "") + ("P" if w == "*" else "R"))
                const = False
            else:
                base.append(w)
        return " ".join(base), mods


class Mangler:
    """The Microsoft C++ decoration of a __cdecl free function."""

    def __init__(self, header, arch):
        self.header = header
        self.ptr64 = arch == "x64"

    def name(self, func):
        name, result, params = func
        self.names = [name]  # name back-references: the function's own name is 0
        self.types = []      # argument back-references
        out = "?" + name + "@@YA" + self.type(result)
        if not params:
            return out + "XZ"
        for param in params:
            mangled = self.type(param)
            if mangled in self.types:
                out += str(self.types.index(mangled))
            else:
                out += mangled
                # Only types longer than one character are remembered, ten at most.
                if len(mangled) > 1 and len(self.types) < 10:
                    self.types.append(mangled)
        return out + "@Z"

    def source_name(self, name):
        if name in self.names:
            return str(self.names.index(name))
        if len(self.names) < 10:
            self.names.append(name)
        return name + "@"

    def type(self, parsed):
        base, mods = parsed
        out = ""
        # Outermost modifier first: "int**" is a pointer to a pointer to int.
        for i, mod in enumerate(reversed(mods)):
            kind = "A" if mod.endswith("R") else "P"
            # The pointee's qualifiers: B when what it points to is const.
            pointee_const = mod.startswith("C")
            out += kind + ("E" if self.ptr64 else "") + ("B" if pointee_const else "A")
        return out + self.base(base)

    def base(self, base):
        base = self.header.aliases.get(base, base)
        if base in BUILTINS:
            return BUILTINS[base]
        if base in self.header.enums:
            return "W4" + self.source_name(base) + "@"
        if base in self.header.structs:
            return "U" + self.source_name(base) + "@"
        raise SystemExit(f"make_def.py: no decoration for type '{base}'")


def exports(header, arch):
    """(export name, internal name) in header order: plain, then decorated."""
    mangler = Mangler(header, arch)
    table = []
    for func in header.functions:
        if func[0] not in DECORATED_ONLY:
            table.append((func[0], func[0]))
        table.append((mangler.name(func), func[0]))
    return table


def cxx_declarations(header):
    """The exports as C++ functions (not extern "C"), with every address taken so
    that a compiler emits each decorated name."""
    lines = ["// Generated by cmake/make_def.py from vuzodo.h: the exports as C++ functions.",
             "typedef bool vuzodo_bool;"]
    lines += [f"enum {e} : int {{}};" for e in sorted(header.enums)]
    lines += [f"struct {s};" for s in sorted(header.structs)]

    def spell(parsed):
        base, mods = parsed
        text = base
        for mod in mods:
            text += (" const" if mod.startswith("C") else "") + ("&" if mod.endswith("R") else "*")
        return text

    for name, result, params in header.functions:
        lines.append(f"{spell(result)} __cdecl {name}({', '.join(spell(p) for p in params)});")
    lines.append("void* vuzodo_exports[] = {")
    lines += [f"    (void*)&{name}," for name, _, _ in header.functions]
    lines.append("};")
    return "\n".join(lines) + "\n"


def trace_format(header, name):
    """(printf format, [argument expressions], [printed parameter indices]) of
    the export's trace line, the expressions spelled with its parameter names."""
    params = header.parameters[name]
    types = dict(zip(params, next(f[2] for f in header.functions if f[0] == name)))
    template = header.traces[name].replace("%", "%%")
    fmt, args, printed = "", [], []
    for literal, ref in re.findall(r"([^{]*)(?:\{(\w+)\})?", template):
        fmt += literal
        if not ref:
            continue
        base, mods = types[ref]
        base = header.aliases.get(base, base) if base == "vuzodo_bool" else base
        if mods:  # the one pointer a line prints is a text
            fmt, arg = fmt + "%s", f"::vuzodo::TraceText({ref}).c_str()"
        elif base in ("float", "double"):
            fmt, arg = fmt + "%f", ref
        elif base == "int":
            fmt, arg = fmt + "%i", ref
        else:  # enumerations and the boolean
            fmt, arg = fmt + "%i", f"static_cast<int>({ref})"
        args.append(arg)
        printed.append(params.index(ref))
    return fmt + "\\n", args, printed


def cxx_table(header):
    """The interface for C++: VUZODO_INTERFACE(X) calls X(name, trace name,
    (printed parameter indices, in the line's order)) for every export, and
    VUZODO_TRACE(name) is the trace line's printf format and arguments."""
    lines = ["// Generated by cmake/make_def.py from include/vuzodo/vuzodo.h; do not edit.",
             "#pragma once", "",
             "// X(export, name the trace line starts with (\"\" when it writes none),",
             "//   (indices of the parameters the line prints, in its order))",
             "#define VUZODO_INTERFACE(X) \\"]
    for name, _, _ in header.functions:
        trace = header.traces[name]
        if trace is None:
            lines.append(f'  X({name}, "", ()) \\')
            continue
        _, _, printed = trace_format(header, name)
        lines.append(f'  X({name}, "{trace.split("(")[0]}", '
                     f'({", ".join(str(i) for i in printed)})) \\')
    lines += ["", "", "// The export's trace line: printf format, arguments (its parameters' names).",
              "#define VUZODO_TRACE(name) VUZODO_TRACE_##name"]
    for name, _, _ in header.functions:
        if header.traces[name] is None:
            continue
        fmt, args, _ = trace_format(header, name)
        fmt = fmt.replace('"', '\\"')
        lines.append(f'#define VUZODO_TRACE_{name} "{fmt}"' + "".join(f", {a}" for a in args))
    return "\n".join(lines) + "\n"


# The Python package's type codes (see python/vuzodo/_native.py).
PY_CODES = {
    ("void", ""): "v", ("int", ""): "i", ("float", ""): "f", ("double", ""): "d",
    ("vuzodo_bool", ""): "b", ("unsigned short", "P"): "S", ("float", "P"): "F",
    ("float", "R"): "F", ("int", "P"): "I", ("int", "R"): "I", ("int", "PP"): "II",
    ("float", "PP"): "FF", ("CursorPosition", "PP"): "CP",
    ("CharacterLineGapInfo", "P"): "LG", ("FontInformation", "P"): "FI",
}


def python_table(header):
    def code(parsed):
        base, mods = parsed
        if base in header.enums and not mods:
            return "i"
        key = (base, "".join(mods))
        if key not in PY_CODES:
            raise SystemExit(f"make_def.py: no Python type code for '{base}' {mods}")
        return PY_CODES[key]

    lines = ['"""The ctypes signature of every export: name: (result, [arguments]), in',
             "the header's order. Generated by cmake/make_def.py from",
             'include/vuzodo/vuzodo.h; do not edit."""', "", "SIGNATURES = {"]
    for name, result, params in header.functions:
        args = ", ".join(f'"{code(p)}"' for p in params)
        lines.append(f'    "{name}": ("{code(result)}", [{args}]),')
    lines.append("}")
    return "\n".join(lines) + "\n"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("header")
    parser.add_argument("--arch", choices=["x86", "x64"], default="x86")
    parser.add_argument("what", choices=["def", "names", "decorated", "cxx", "map", "list",
                                         "table", "python"])
    parser.add_argument("out", nargs="?")
    parser.add_argument("--check", action="store_true",
                        help="exit 1 when OUT differs from what would be written")
    args = parser.parse_args()
    header = Header(args.header)
    plain = [f[0] for f in header.functions]
    if args.what == "cxx":
        text = cxx_declarations(header)
    elif args.what == "map":
        text = "{\n  global:\n" + "".join(f"    {n};\n" for n in plain) + "  local: *;\n};\n"
    elif args.what == "list":
        text = "".join(f"{n}\n" for n in plain)
    elif args.what == "table":
        text = cxx_table(header)
    elif args.what == "python":
        text = python_table(header)
    elif args.what == "names":
        text = "".join(f"{export}\n" for export, _ in exports(header, args.arch))
    elif args.what == "decorated":
        mangler = Mangler(header, args.arch)
        text = "".join(f"{f[0]}\t{mangler.name(f)}\n" for f in header.functions)
    else:
        # GNU ld reads a quoted export name literally ('?' and '@' would be taken
        # for syntax otherwise); "name = internal" exports an alias.
        lines = ["; Generated by cmake/make_def.py from include/vuzodo/vuzodo.h.", "EXPORTS"]
        for export, internal in exports(header, args.arch):
            lines.append(f'  {export}' if export == internal else f'  "{export}" = {internal}')
        text = "\n".join(lines) + "\n"
    if args.check:
        current = open(args.out, encoding="utf-8").read() if os.path.exists(args.out) else ""
        if current != text:
            sys.exit(f"{args.out} is out of date: run cmake/make_def.py {args.header} "
                     f"{args.what} {args.out}")
    elif args.out:
        # Rewritten only when it changes, so that what depends on it is not rebuilt.
        if os.path.exists(args.out) and open(args.out, encoding="utf-8").read() == text:
            return
        with open(args.out, "w", encoding="utf-8") as f:
            f.write(text)
    else:
        sys.stdout.write(text)


if __name__ == "__main__":
    main()
