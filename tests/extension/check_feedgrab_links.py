#!/usr/bin/env python3
"""check_feedgrab_links.py FEEDGRAB: fails if feedgrab holds a symbol data/feedgrab-symbols.txt
keeps out of it or lacks one it requires, or loads the web engine."""
import pathlib
import re
import subprocess
import sys

binary = sys.argv[1]
symbols = subprocess.run(["nm", "-C", "--defined-only", binary], check=True,
                         capture_output=True, text=True).stdout
libraries = subprocess.run(["ldd", binary], check=True, capture_output=True, text=True).stdout
table = pathlib.Path(__file__).with_name("data") / "feedgrab-symbols.txt"
rules = [line.split() for line in table.read_text().splitlines() if not line.startswith("#")]

faults = [f"feedgrab {fault} {pattern}" for fault, pattern in rules
          if (re.search(pattern, symbols) is None) == (fault == "lacks")]
faults += [f"feedgrab loads {line.split()[0]}" for line in libraries.splitlines()
           if "WebEngine" in line]
print("\n".join(faults) or "feedgrab links the parser, the list and the catalog only")
sys.exit(1 if faults else 0)
