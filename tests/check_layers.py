#!/usr/bin/env python3
"""Fails when a folder includes a folder above it.

Folders are listed bottom to top; a folder may include the folders on the
lines before its own. Folders on one line do not include each other.
"""
import pathlib
import re
import sys

LAYERS = [
    ["platform"],
    ["settings"],
    ["ice"],
    ["instrument"],
    ["survey"],
    ["acquisition"],
    ["gps"],
    ["shell"],
    ["plot", "setup"],
    ["viewer", "logging"],
    ["app"],
]
RANK = {folder: rank for rank, layer in enumerate(LAYERS) for folder in layer}
INCLUDE = re.compile(r'#include "([a-z_]+)/')

root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".")
wrong = []
for folder, rank in RANK.items():
    for source in sorted((root / folder).glob("*.[ch]*")):
        for number, line in enumerate(source.read_text(errors="replace").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match or match.group(1) == folder:
                continue
            target = match.group(1)
            if target not in RANK or RANK[target] >= rank:
                wrong.append(f"{source.relative_to(root)}:{number}: {folder}/ includes {target}/")
print("\n".join(wrong) or "every include points down")
sys.exit(1 if wrong else 0)
