#!/usr/bin/env python3
"""Searches folders with the running Seekwright over the session bus, using
only the standard library and gdbus. Prints one match per line; a match that
is not UTF-8 is printed as its bytes.

    seekwright-find.py FOLDER [NAME-CONTAINS]
"""
import ast
import re
import subprocess
import sys


def find(folder, name_contains=None):
    parameters = {"in folders": [folder], "subfolders": True, "result type": "posix path"}
    if name_contains:
        parameters["name contains"] = [name_contains]
    # GVariant text: every value is a variant, written <…>.
    text = "{%s}" % ", ".join("%s: <%s>" % (gvariant(k), gvariant(v)) for k, v in parameters.items())
    out = subprocess.run(
        ["gdbus", "call", "--session", "--timeout", "86400",
         "--dest", "org.seekwright.Seekwright1",
         "--object-path", "/org/seekwright/Seekwright1",
         "--method", "org.seekwright.Seekwright1.Find", text],
        check=True, capture_output=True, text=True).stdout
    # gdbus prints ([<'/srv/a'>, <"/srv/it's">, <[byte 0x2f, 0xff]>],)
    quoted = r"""'(?:[^'\\]|\\.)*'|"(?:[^"\\]|\\.)*\""""
    matches = []
    for m in re.finditer(r"<(%s)>|<\[byte ([^\]]*)\]>" % quoted, out):
        if m.group(1):
            matches.append(ast.literal_eval(m.group(1)))
        else:
            matches.append(bytes(int(b.split()[-1], 16) for b in m.group(2).split(",")))
    return matches


def gvariant(value):
    if isinstance(value, bool):
        return "true" if value else "false"
    if isinstance(value, list):
        return "[%s]" % ", ".join(gvariant(v) for v in value)
    return "'%s'" % str(value).replace("\\", "\\\\").replace("'", "\\'")


if __name__ == "__main__":
    for match in find(*sys.argv[1:3]):
        if isinstance(match, bytes):
            sys.stdout.flush()
            sys.stdout.buffer.write(match + b"\n")
        else:
            print(match)
