#!/usr/bin/python3
"""The DLL's export table, read from the public header.

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
"""
import argparse
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
        for result, name, params in re.findall(
                r"^VUZODO_API\s+(.+?)\s+VUZODO_CALL\s+(\w+)\s*\((.*?)\);", text,
                flags=re.S | re.M):
            params = " ".join(params.split())
            types = []
            for param in ([] if params in ("", "void") else params.split(",")):
                types.append(self.parse_type(param, named=True))
            self.functions.append((name, self.parse_type(result, named=False), types))

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


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("header")
    parser.add_argument("--arch", choices=["x86", "x64"], default="x86")
    parser.add_argument("what", choices=["def", "names", "decorated", "cxx"])
    parser.add_argument("out", nargs="?")
    args = parser.parse_args()
    header = Header(args.header)
    if args.what == "cxx":
        text = cxx_declarations(header)
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
    if args.out:
        with open(args.out, "w", encoding="utf-8") as f:
            f.write(text)
    else:
        sys.stdout.write(text)


if __name__ == "__main__":
    main()
