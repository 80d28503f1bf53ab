#!/usr/bin/env python3
"""Checks that each layer library links exactly the layers its sources include.

For every src/<layer>/ (the library zarn_<layer>) the layers named by its #include
"<layer>/..." lines are compared with the zarn_* libraries its CMakeLists.txt links.
Programs built beside a library (gallery/) are not the library and are skipped.
Prints the layer table; exits 1 naming each layer whose links differ from its includes.
"""
import pathlib
import re
import sys

root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent)
src = root / "src"
layers = sorted(p.name for p in src.iterdir() if (p / "CMakeLists.txt").exists())
include = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/', re.M)
link = re.compile(r"target_link_libraries\(\s*zarn_(\w+)\s+([^)]*)\)", re.S)

uses, links = {}, {}
for layer in layers:
    found = set()
    for f in (src / layer).rglob("*"):
        if f.suffix in (".h", ".cpp") and "gallery" not in f.relative_to(src / layer).parts:
            found.update(include.findall(f.read_text(encoding="utf-8")))
    uses[layer] = found & set(layers) - {layer}
    cmake = (src / layer / "CMakeLists.txt").read_text(encoding="utf-8")
    linked = set()
    for target, args in link.findall(cmake):
        if target == layer:
            linked.update(re.findall(r"\bzarn_(\w+)", args))
    links[layer] = linked

bad = 0
for layer in layers:
    print(f"{layer:10} uses {' '.join(sorted(uses[layer])) or '-'}")
    if uses[layer] != links[layer]:
        bad += 1
        print(f"  zarn_{layer} links {' '.join(sorted(links[layer])) or 'nothing'}", file=sys.stderr)
sys.exit(1 if bad else 0)
