#!/usr/bin/env python3
"""Reads every program in the release packages as Windows reads it (with pefile).

Usage: check-package-programs.py ZIP...

Each .exe must carry an application manifest (resource type 24, id 1) that asks for no elevation (asInvoker)
and names Windows 7 to 11 among its supported systems. No .exe or .dll may hold the name of a test setting:
a shipped program has none, so no variable of the environment reaches it. Prints one line per file; exits
with 1 when any file fails.
"""
import io
import sys
import zipfile

try:
    import pefile
except ImportError:  # a Python of its own (pyenv, a virtual environment) beside Debian's python3-pefile
    sys.path.append("/usr/lib/python3/dist-packages")
    import pefile

RT_MANIFEST = 24
SUPPORTED = {
    "Windows 7": "35138b9a-5d96-4fbd-8e2d-a2440225f93a",
    "Windows 8": "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38",
    "Windows 8.1": "1f676c76-80e1-4239-95bb-83d0f6d0da78",
    "Windows 10 and 11": "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a",
}
TEST_SETTINGS = ("NIMBREL_RUN_LOCK_SCOPE", "NIMBREL_HISTORY_DIR")


def manifest_of(pe):
    """The text of the RT_MANIFEST resource 1, or None."""
    if not hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"):
        return None
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if kind.id != RT_MANIFEST:
            continue
        for entry in kind.directory.entries:
            if entry.id == 1:
                data = entry.directory.entries[0].data.struct
                return pe.get_data(data.OffsetToData, data.Size).decode("utf-8", "replace")
    return None


def problems_of(name, data):
    problems = []
    for setting in TEST_SETTINGS:
        for encoded in (setting.encode("ascii"), setting.encode("utf-16-le")):
            if encoded in data:
                problems.append(f"holds the test setting {setting}")
                break
    if name.lower().endswith(".exe"):
        manifest = manifest_of(pefile.PE(data=data))
        if manifest is None:
            problems.append("has no manifest")
        else:
            if 'requestedExecutionLevel level="asInvoker"' not in manifest:
                problems.append("its manifest does not ask for asInvoker")
            for system, guid in SUPPORTED.items():
                if guid not in manifest:
                    problems.append(f"its manifest does not name {system}")
    return problems


def main():
    failed = False
    for package in sys.argv[1:]:
        with zipfile.ZipFile(package) as archive:
            for name in sorted(archive.namelist()):
                if not name.lower().endswith((".exe", ".dll")):
                    continue
                problems = problems_of(name, archive.read(name))
                where = f"{package.rsplit('/', 1)[-1]}: {name}"
                if problems:
                    failed = True
                    print(f"{where}: " + "; ".join(problems))
                else:
                    print(f"ok {where}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
