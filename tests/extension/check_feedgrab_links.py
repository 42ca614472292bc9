#!/usr/bin/env python3
"""check_feedgrab_links.py FEEDGRAB: fails if feedgrab holds the store, the refresh, the flows,
the reader's screens or the web engine, or lacks the parser, the list or the catalog's save."""
import re
import subprocess
import sys

binary = sys.argv[1]
symbols = subprocess.run(["nm", "-C", "--defined-only", binary], check=True,
                         capture_output=True, text=True).stdout
libraries = subprocess.run(["ldd", binary], check=True, capture_output=True, text=True).stdout

FORBIDDEN = [r"pressling::ArticleStore\b", r"pressling::PersistentContainer\b",
             r"pressling::persistentContainer\(", r"pressling::FetchedResultsController\b",
             r"pressling::refreshFeeds\(", r"pressling::addRSS\(", r"pressling::removeWeb\(",
             r"pressling::cleanUpArticles\(", r"MasterViewController", r"DetailViewController",
             r"pressling::app::"]
REQUIRED = [r"pressling::RSSParser::parse\(", r"pressling::appendWeb\(",
            r"pressling::CKFeed::save\("]

faults = [f"feedgrab holds {p}" for p in FORBIDDEN if re.search(p, symbols)]
faults += [f"feedgrab lacks {p}" for p in REQUIRED if not re.search(p, symbols)]
faults += [f"feedgrab loads {line.split()[0]}" for line in libraries.splitlines()
           if "WebEngine" in line]
print("\n".join(faults) or "feedgrab links the parser, the list and the catalog only")
sys.exit(1 if faults else 0)
