#!/usr/bin/env python3
"""What Orca said and put on the braille line, read from its debug log.
   orca_log.py LOG FROM [TO]
prints what was logged after the log's first FROM lines (and within its
first TO lines), one line each: "speech TEXT" or "braille TEXT", the lines of
an utterance joined by " / ".
"""
import re
import sys

lines = open(sys.argv[1], encoding="utf-8", errors="replace").read().split("\n")
end = int(sys.argv[3]) if len(sys.argv) > 3 else len(lines)
text = "\n".join(lines[int(sys.argv[2]):end])
pattern = r"^\d\d:\d\d:\d\d\.\d+ - (SPEECH OUTPUT|BRAILLE LINE): +'(.*?)' ?(?:\{[^\n]*)?$"
for kind, said in re.findall(pattern, text, re.M | re.S):
    joined = " / ".join(line.strip() for line in said.splitlines())
    print("speech" if kind == "SPEECH OUTPUT" else "braille", joined)
