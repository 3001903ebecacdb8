#!/usr/bin/env python3
"""Chooses the Debian package sources that the guest image is made from.

The sources are the host's own: every apt source of the guest's release (the suite CODENAME and its companions
CODENAME-updates, CODENAME-security, ...) as this machine's apt is configured, so that the image comes from the same
place as the host's packages and no package host is written into the scripts.

A mirror can serve one suite's index out of step with its Release file for hours ("Mirror sync in progress?"). The
guest is a test fixture: it needs Wine and Xvfb, not the newest security updates, so a companion suite whose indexes
cannot be read (after a short bounded retry) is left out, with one line on standard error saying which and why. The
release's own suite cannot be left out: when it cannot be read, this fails with the apt error's last lines.

Usage: sources.py CODENAME LIST
Writes LIST (one-line sources.list format, the file that mmdebstrap takes as its mirror) and prints to standard
output one line per source: "used SUITE URI" or "left-out SUITE URI: REASON". Exit status 1 when the release's own
suite cannot be read or the host names none.

Settings for the tests: NIMBREL_GUEST_SOURCE_TRIES (default 3) and NIMBREL_GUEST_SOURCE_PAUSE (seconds between tries,
default 20). apt-config and apt-get are taken from the PATH, and APT_CONFIG is honoured as by apt itself.
"""
import glob
import os
import re
import subprocess
import sys
import tempfile
import time

ARCHITECTURES = ("amd64", "i386")


def say(text):
    print(f"guest image: {text}", file=sys.stderr, flush=True)


def apt_source_files():
    """The host's source files, where apt itself looks for them."""
    shell = subprocess.run(["apt-config", "shell", "LIST", "Dir::Etc::sourcelist/f", "PARTS", "Dir::Etc::sourceparts/d"],
                           capture_output=True, text=True, check=True).stdout
    found = dict(re.findall(r"^(LIST|PARTS)='(.*)'$", shell, re.M))
    files = [found["LIST"]] if found.get("LIST") and os.path.isfile(found["LIST"]) else []
    parts = found.get("PARTS", "")
    if parts and os.path.isdir(parts):
        files += sorted(glob.glob(os.path.join(parts, "*.list")) + glob.glob(os.path.join(parts, "*.sources")))
    return files


def one_line_sources(path):
    """(options, uri, suite, components) of each "deb" line of a one-line file."""
    for line in open(path, encoding="utf-8", errors="replace"):
        line = line.split("#", 1)[0].strip()
        match = re.match(r"^deb\s+(?:\[([^\]]*)\]\s+)?(\S+)\s+(\S+)\s*(.*)$", line)
        if match:
            options = dict(o.split("=", 1) for o in (match.group(1) or "").split() if "=" in o)
            yield options, match.group(2), match.group(3), match.group(4).split()


def deb822_sources(path):
    """The same for each enabled "deb" stanza of a deb822 file."""
    text = open(path, encoding="utf-8", errors="replace").read()
    for stanza in re.split(r"\n\s*\n", text):
        fields, name = {}, None
        for line in stanza.splitlines():
            if line.startswith("#"):
                continue
            if line[:1] in (" ", "\t") and name:
                fields[name] += "\n" + line.strip()
            elif ":" in line:
                name, value = line.split(":", 1)
                name = name.strip().lower()
                fields[name] = value.strip()
        if "deb" not in fields.get("types", "").split() or fields.get("enabled", "yes").lower() == "no":
            continue
        options = {}
        # A key given inline cannot go on one line; apt's trusted keyrings then check the suite.
        if fields.get("signed-by") and "\n" not in fields["signed-by"]:
            options["signed-by"] = fields["signed-by"]
        for uri in fields.get("uris", "").split():
            for suite in fields.get("suites", "").split():
                yield options, uri, suite, fields.get("components", "").split()


def release_sources(codename):
    """The host's sources of the guest's release, each as one sources.list line, keyed by (suite, uri)."""
    chosen = {}
    for path in apt_source_files():
        reader = deb822_sources if path.endswith(".sources") else one_line_sources
        for options, uri, suite, components in reader(path):
            if suite != codename and not suite.startswith(codename + "-"):
                continue
            # The guest needs both architectures: a host's arch= limit is not the guest's.
            kept = [f"{k}={v}" for k, v in options.items() if k not in ("arch", "architectures")]
            line = " ".join(["deb"] + ([f"[{' '.join(kept)}]"] if kept else []) + [uri, suite] + components)
            chosen.setdefault((suite, uri.rstrip("/")), line)
    return chosen


def unreadable(sources, output):
    """{(suite, uri): reason} for each source that apt's output names in a failed fetch or a refused repository."""
    failed = {}
    for line in output.splitlines():
        if not re.match(r"^[EW]: ", line):
            continue
        line = line.replace("//dists/", "/dists/")  # a source's URI may end in a slash
        for suite, uri in sources:
            fetch = f"{uri}/dists/{suite}/"
            if fetch in line:
                reason = line.split(fetch, 1)[1].split(None, 1)[-1]
                failed.setdefault((suite, uri), re.sub(r"\s*\[IP: [^\]]*\]", "", reason).strip())
            elif f"'{uri} {suite} " in line:
                failed.setdefault((suite, uri), line[3:].strip())
    return failed


def probe(lines):
    """Runs apt-get update for both architectures over these sources alone, in a folder of its own (the host's
    package lists stay as they are). Returns (exit status, apt's output)."""
    with tempfile.TemporaryDirectory(prefix="nimbrel-sources.") as work:
        for folder in ("lists/partial", "cache/archives/partial", "parts"):
            os.makedirs(os.path.join(work, folder))
        with open(os.path.join(work, "sources.list"), "w") as out:
            out.write("\n".join(lines) + "\n")
        command = ["apt-get", "-q", "update", "-o", "Acquire::Languages=none",
                   "-o", f"Dir::Etc::sourcelist={work}/sources.list", "-o", f"Dir::Etc::sourceparts={work}/parts",
                   "-o", f"Dir::State::Lists={work}/lists", "-o", f"Dir::Cache={work}/cache",
                   *[a for arch in ARCHITECTURES for a in ("-o", f"APT::Architectures::={arch}")]]
        run = subprocess.run(command, stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=600)
        return run.returncode, run.stdout + run.stderr


def main():
    if len(sys.argv) != 3:
        print("usage: sources.py CODENAME LIST", file=sys.stderr)
        return 2
    codename, list_path = sys.argv[1:]
    sources = release_sources(codename)
    if not any(suite == codename for suite, _ in sources):
        say(f"the host's apt sources name no '{codename}' suite to make the guest from; add one "
            f"(for example in /etc/apt/sources.list.d/debian.sources) and run again")
        return 1
    tries = int(os.environ.get("NIMBREL_GUEST_SOURCE_TRIES", "3"))
    pause = float(os.environ.get("NIMBREL_GUEST_SOURCE_PAUSE", "20"))
    for attempt in range(1, tries + 1):
        status, output = probe(list(sources.values()))
        failed = unreadable(sources, output)
        if status == 0 and not failed:
            break
        if attempt < tries:
            time.sleep(pause)
    if status != 0 and not failed:
        # apt failed without naming a source: nothing can be trusted to be readable.
        failed = {key: "apt-get update failed" for key in sources}
    if any(suite == codename for suite, _ in failed):
        print("\n".join(output.splitlines()[-15:]), file=sys.stderr)
        say(f"the suite '{codename}' cannot be read from the host's package sources after {tries} tries")
        return 1
    used = []
    for (suite, uri), line in sources.items():
        if (suite, uri) in failed:
            say(f"left out the suite {suite} ({uri}): {failed[(suite, uri)]}")
            print(f"left-out {suite} {uri}: {failed[(suite, uri)]}")
        else:
            used.append(line)
            print(f"used {suite} {uri}")
    with open(list_path, "w") as out:
        out.write("\n".join(used) + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
