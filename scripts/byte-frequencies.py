#!/usr/bin/env python3
"""Prints the byte-frequency table of core/search/ByteFrequency.h.

How often each byte occurs per 100,000 bytes of a mix of C and C++ source (60 %: the
system's headers and this repository's core), licence and documentation prose (25 %) and
Turkish text (15 %: this repository's shell sources, whose strings are Turkish, plus the
letter frequencies of Turkish prose for ı, ş, ç, ğ, ü, ö and İ, which sources alone
under-count). Every byte gets at least 1. The exact figures matter little: the searches only
compare them to pick a query's rarest bytes.

    scripts/byte-frequencies.py > /tmp/table.txt
"""
import glob
import os

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def share(paths, cap):
    counts, total = [0] * 256, 0
    for path in paths:
        try:
            data = open(path, "rb").read()
        except OSError:
            continue
        for b in data:
            counts[b] += 1
        total += len(data)
        if total > cap:
            break
    return [c / max(total, 1) for c in counts]


source = sorted(glob.glob("/usr/include/**/*.h", recursive=True))[::7]
source += sorted(glob.glob(ROOT + "/core/**/*.cpp", recursive=True))
prose = sorted(glob.glob("/usr/share/doc/*/copyright") + glob.glob("/usr/share/common-licenses/*"))
shell = sorted(glob.glob(ROOT + "/app/**/*.cpp", recursive=True))
mix = [(share(source, 6 << 20), 0.60), (share(prose, 2 << 20), 0.25), (share(shell, 2 << 20), 0.05)]
freq = [sum(s[b] * w for s, w in mix) for b in range(256)]

# Turkish prose at 10 % of the mix: letters are about 80 % of its bytes; each letter's share.
turkish = {"ı": 0.051, "ş": 0.018, "ç": 0.012, "ğ": 0.011, "ü": 0.020, "ö": 0.008,
           "İ": 0.002, "Ş": 0.001, "Ç": 0.001, "Ü": 0.001, "Ö": 0.001}
for letter, part in turkish.items():
    for b in letter.encode("utf-8"):
        freq[b] += 0.10 * 0.80 * part

table = [max(1, round(f * 100000)) for f in freq]
for row in range(0, 256, 16):
    print("    " + ", ".join(str(v) for v in table[row:row + 16]) + ",")
