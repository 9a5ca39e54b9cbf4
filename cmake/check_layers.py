#!/usr/bin/env python3
"""Checks the includes of every target against the dependencies that the build declares.

check_layers.py SOURCE_DIR MANIFEST. The manifest has a line per target: its name, the
targets it links directly (";"-separated) and its sources and headers, tab-separated. A file
may include headers of its own target and of every target reachable through the links; an
include that resolves to a file of any other target is an error. Every .cpp and .h below the
product's folders must belong to a target. Prints each error and exits 1 if any.
"""
import re
import sys
from pathlib import Path

PRODUCT_FOLDERS = ["formats", "state", "targetdir", "payload", "progman", "setup", "uninst",
                   "platform", "progman_server", "tools", "product"]
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)


def main(source_dir: Path, manifest: Path) -> int:
    links: dict[str, list[str]] = {}
    files: dict[str, list[Path]] = {}
    for line in manifest.read_text().splitlines():
        target, dependencies, sources = (line.split("\t") + ["", ""])[:3]
        links[target] = [d for d in dependencies.split(";") if d]
        files[target] = [Path(f) for f in sources.split(";") if f]

    owners: dict[Path, set[str]] = {}
    for target, paths in files.items():
        for path in paths:
            owners.setdefault(path.resolve(), set()).add(target)

    def reachable(target: str) -> set[str]:
        seen, todo = {target}, [target]
        while todo:
            for dependency in links.get(todo.pop(), []):
                if dependency not in seen:
                    seen.add(dependency)
                    todo.append(dependency)
        return seen

    errors = []
    for target, paths in files.items():
        allowed = reachable(target)
        for path in paths:
            if not path.resolve().is_relative_to(source_dir.resolve()):
                continue  # generated
            for name in INCLUDE.findall(path.read_text(encoding="latin-1")):
                for candidate in (path.parent / name, source_dir / name):
                    if candidate.exists():
                        included = candidate.resolve()
                        break
                else:
                    continue  # a generated file or a system header
                owner = owners.get(included)
                if owner is None:
                    errors.append(f"{path}: includes {name}, which no target lists")
                elif not owner & allowed:
                    errors.append(f"{path}: includes {name} of {', '.join(sorted(owner))}, "
                                  f"which {target} does not link")

    for folder in PRODUCT_FOLDERS:
        for path in sorted((source_dir / folder).rglob("*")):
            if path.suffix not in (".cpp", ".h"):
                continue
            # Files of the other build, which lists them there.
            if path.stem.endswith(("_win32", "_posix")):
                continue
            owner = owners.get(path.resolve(), set())
            if not owner:
                errors.append(f"{path}: belongs to no target")

    for error in errors:
        print(error)
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main(Path(sys.argv[1]), Path(sys.argv[2])))
