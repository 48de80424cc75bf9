#!/usr/bin/env python3
"""Fails when an include in src/ points up or sideways between the layers.

    python3 scripts/check_includes.py [--src DIR] [--qt-include-dir DIR]

Each folder of src/ is a layer (src/main.cpp belongs to app, src/base/substitute to base). A
file may include its own layer and the layers below it, as the CMake targets link them:

    base      no Qt
    cli       base (no Qt)
    ui        base, Qt Core (header-only)
    document  ui, base, Qt Core and Qt Gui
    widgets   ui, base
    edit      document, widgets, ui, base
    search    document, widgets, ui, base
    app       everything but cli

With --qt-include-dir (the folder holding QtCore/, QtGui/, ...), a Qt header included by ui or
document must be one of Qt Core or Qt Gui.

Every source file of a layer must also be listed in its layer's CMakeLists.txt (a file in no
list is never built and never checked by the compiler).
"""
import argparse
import pathlib
import re
import sys

BELOW = {
    "base": set(),
    "cli": {"base"},
    "ui": {"base"},
    "document": {"ui", "base"},
    "widgets": {"ui", "base"},
    "edit": {"document", "widgets", "ui", "base"},
    "search": {"document", "widgets", "ui", "base"},
    "app": {"edit", "search", "document", "widgets", "ui", "base"},
}
WITHOUT_QT = {"base", "cli"}
CORE_AND_GUI_ONLY = {"ui", "document"}

PROJECT_INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"/]+)/[^"]*"')
LOCAL_INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"/]+)"')
SYSTEM_INCLUDE = re.compile(r"^\s*#\s*include\s*<([^>]+)>")


def layer_of(src: pathlib.Path, file: pathlib.Path) -> str:
    parts = file.relative_to(src).parts
    return parts[0] if len(parts) > 1 else "app"


def qt_module(qt_dir: pathlib.Path, header: str):
    name = header.split("/")[-1]
    if "/" in header:
        return header.split("/")[0]
    for module in ("QtCore", "QtGui", "QtWidgets", "QtTest", "QtNetwork", "QtConcurrent", "QtXml"):
        if (qt_dir / module / name).exists():
            return module
    return None


def unlisted(src: pathlib.Path, files) -> list:
    """Source files that the CMakeLists.txt of their layer does not name."""
    problems = []
    for file in files:
        if file.parent == src:
            lists, name = src / "CMakeLists.txt", file.name
        else:
            layer_dir = src / file.relative_to(src).parts[0]
            lists, name = layer_dir / "CMakeLists.txt", file.relative_to(layer_dir).as_posix()
        if not lists.exists():
            problems.append(f"{file.relative_to(src)}: no {lists.relative_to(src)} lists it")
            continue
        words = set(re.split(r"[\s()]+", lists.read_text(encoding="utf-8")))
        if name not in words:
            problems.append(f"{file.relative_to(src)}: not listed in {lists.relative_to(src)}")
    return problems


def main() -> int:
    here = pathlib.Path(__file__).resolve().parent
    parser = argparse.ArgumentParser()
    parser.add_argument("--src", type=pathlib.Path, default=here.parent / "src")
    parser.add_argument("--qt-include-dir", type=pathlib.Path)
    args = parser.parse_args()
    src = args.src.resolve()

    problems = []
    files = sorted(p for p in src.rglob("*") if p.suffix in (".h", ".cpp"))
    for file in files:
        layer = layer_of(src, file)
        if layer not in BELOW:
            problems.append(f"{file.relative_to(src)}: folder «{layer}» is no known layer")
            continue
        allowed = BELOW[layer] | {layer}
        for number, line in enumerate(file.read_text(encoding="utf-8").splitlines(), 1):
            where = f"{file.relative_to(src)}:{number}"
            m = PROJECT_INCLUDE.match(line)
            if m:
                target = m.group(1)
                if target in BELOW and target not in allowed:
                    problems.append(f"{where}: {layer} includes {target} ({line.strip()})")
                continue
            m = LOCAL_INCLUDE.match(line)
            if m and not (file.parent / m.group(1)).exists():
                problems.append(f"{where}: include without its layer folder ({line.strip()})")
                continue
            m = SYSTEM_INCLUDE.match(line)
            if not m or not m.group(1).startswith("Q"):
                continue
            header = m.group(1)
            if layer in WITHOUT_QT:
                problems.append(f"{where}: {layer} includes Qt ({line.strip()})")
            elif layer in CORE_AND_GUI_ONLY and args.qt_include_dir:
                module = qt_module(args.qt_include_dir, header)
                if module not in ("QtCore", "QtGui"):
                    problems.append(f"{where}: {layer} includes {module or 'an unknown Qt header'} "
                                    f"({line.strip()})")

    problems += unlisted(src, files)

    for p in problems:
        print(p)
    if problems:
        print(f"{len(problems)} problem(s): includes against the layers or files in no list", file=sys.stderr)
        return 1
    print(f"{len(files)} files: every include points down, every file is listed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
