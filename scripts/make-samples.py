#!/usr/bin/env python3
"""Writes the four sample images, marked for sending, into FOLDER (the same bytes on every run), and their
checksum list SHA256SUMS as sha256sum writes it, so that the programs verify them before they send.

Each file: byte 0 '%' (the mark), byte 1 = 1 (send), a readable command, the header's rest, and a payload of
pseudo-random bytes, different for each file.
Usage: make-samples.py FOLDER
"""
import hashlib
import os
import random
import sys

SAMPLES = [("firm.zpk", 96 * 1024), ("sf_pcmimgcdb2.zpk", 40 * 1024),
           ("sf_pcmimgcdb1.zpk", 24 * 1024), ("sf_pcmimgcdb3.zpk", 64 * 1024 + 123)]

folder = sys.argv[1]
os.makedirs(folder, exist_ok=True)
sums = ""
for name, payload in SAMPLES:
    rng = random.Random(name)
    command = b"%\x01" + name.split(".")[0].encode()[:18].ljust(18, b"-")
    header = command + bytes(1024 - len(command))
    image = header + bytes(rng.getrandbits(8) for _ in range(payload))
    with open(os.path.join(folder, name), "wb") as f:
        f.write(image)
    sums += f"{hashlib.sha256(image).hexdigest()} *{name}\n"
    print(f"  {name}: {len(image)} bytes, marked for sending")
with open(os.path.join(folder, "SHA256SUMS"), "w", newline="\n") as f:
    f.write(sums)
print("  SHA256SUMS: the checksum list of the four (not signed)")
