#!/usr/bin/env python3
"""Fails when a source file includes from a layer above its own, or when anything beneath the
screen kit includes Qt. The layers and their order are those of README.md's layout section:
each folder may include from itself and from the folders listed before it."""
import pathlib
import re
import sys

root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".")

# Side by side in the layout: neither may include the other.
SIDE_BY_SIDE = {frozenset({"subscriptions", "store"})}

layout = re.search(r"## Layout\n+```\n(.*?)```", (root / "README.md").read_text(), re.S).group(1)
layers = [m.group(1) for m in re.finditer(r"^(?:src/)?(\w+)/", layout, re.M)
          if (root / "src" / m.group(1)).is_dir() or m.group(1) == "cli"]
rank = {name: i for i, name in enumerate(layers)}
first_qt = rank["ui"]

own_include = re.compile(r'#include\s+"(\w+)/')
qt_include = re.compile(r"#include\s+<Q[tA-Z]")
faults = []
for layer in layers:
    folder = root / ("cli" if layer == "cli" else "src/" + layer)
    for path in sorted(folder.rglob("*")):
        if path.suffix not in (".h", ".cpp"):
            continue
        for number, line in enumerate(path.read_text().splitlines(), 1):
            where = f"{path.relative_to(root)}:{number}"
            target = own_include.match(line)
            if target and target.group(1) in rank and target.group(1) != layer:
                other = target.group(1)
                if rank[other] > rank[layer] or frozenset({layer, other}) in SIDE_BY_SIDE:
                    faults.append(f"{where}: {layer} includes from {other}, which is not beneath it")
            if qt_include.match(line) and (rank[layer] < first_qt or layer == "cli"):
                faults.append(f"{where}: {layer} includes Qt, which only the screens may")

if not layers or "platform" not in rank:
    faults.append("README.md's layout section lists no layers")
print("\n".join(faults) or f"layers in order: {' < '.join(layers)}")
sys.exit(1 if faults else 0)
