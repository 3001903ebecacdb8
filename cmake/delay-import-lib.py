#!/usr/bin/env python3
"""Makes a delay-load import library for a system DLL from the toolchain's ordinary import library.

Usage: delay-import-lib.py NM DLLTOOL IMPORT_LIB DLL_NAME OUTPUT

The exports are the functions the ordinary import library names (its __imp_ symbols); on 32-bit x86 they keep
their stdcall decoration in the definition and lose it in the import (dlltool -k), as the DLL exports them.
"""
import os
import subprocess
import sys

nm, dlltool, import_lib, dll_name, output = sys.argv[1:6]
symbols = subprocess.run([nm, "-g", import_lib], check=True, capture_output=True, text=True).stdout
is_x86 = any(line.split()[-1].startswith("__imp__") and "@" in line for line in symbols.splitlines() if line)
exports = set()
for line in symbols.splitlines():
    fields = line.split()
    if len(fields) >= 2 and fields[-2] == "I" and fields[-1].startswith("__imp_"):
        name = fields[-1][len("__imp_"):]
        if is_x86 and name.startswith("_"):
            name = name[1:]
        exports.add(name)
if not exports:
    sys.exit(f"delay-import-lib.py: {import_lib} names no function")

folder = os.path.dirname(os.path.abspath(output))
definition = os.path.join(folder, os.path.basename(output) + ".def")
with open(definition, "w") as out:
    out.write(f"LIBRARY {dll_name}\nEXPORTS\n")
    for name in sorted(exports):
        out.write(f"    {name}\n")
command = [dlltool, "--def", definition, "--dllname", dll_name, "--output-delaylib", os.path.abspath(output)]
if is_x86:
    command.append("--kill-at")
# dlltool writes its temporary objects into the current folder.
subprocess.run(command, check=True, cwd=folder)
