#!/usr/bin/env python3
"""The web page's folder, for scripts/build-web.sh.

    scripts/web-folder.py check OUT      may OUT be replaced by a new page?
    scripts/web-folder.py finish FOLDER  writes FOLDER's files.json and marker

A page's folder is replaced whole, so it may be replaced only when it is
absent, empty, or holds nothing but what a build of the page put there: its
marker, .orvanta-web, lists every name the build wrote (separated by NUL
bytes, so that any name compares as it is). `check` exits 0 when OUT may be
replaced, else 2 with one line saying why.

files.json lists what the page loads: the shaders, the logo, the tune, the
track files and a demo folder's sources under demo/, written by a JSON
writer, so that any name the manifest allows reaches the page intact. A
page laid out before the marker was written counts as a build's where it
holds nothing but its own files and what its files.json lists.
"""
import fnmatch
import json
import os
import sys

MARKER = ".orvanta-web"


def names_under(folder):
    found = []
    for top, folders, files in os.walk(folder):
        for name in folders + files:
            found.append(os.path.relpath(os.path.join(top, name), folder))
    return found


def earlier_page(folder):
    """What a page laid out before pages had a marker holds: its own five
    files, what its files.json lists, and the demo/ folder of those; an
    empty set where the folder is not such a page."""
    own = {"index.html", "page.js", "orvanta.js", "orvanta.wasm", "files.json"}
    if not all(os.path.isfile(os.path.join(folder, name)) for name in own):
        return set()
    try:
        with open(os.path.join(folder, "files.json"), "r", encoding="utf-8") as f:
            names = json.load(f)
    except (OSError, ValueError):
        return set()
    if not isinstance(names, list) or not all(isinstance(name, str) for name in names):
        return set()
    made = own | set(names)
    if any(name.startswith("demo/") for name in names):
        made.add("demo")
    return made


def check(folder):
    if not os.path.lexists(folder):
        return None
    if os.path.islink(folder) or not os.path.isdir(folder):
        return folder + " is not a folder; name a new or empty folder for the page"
    found = set(names_under(folder))
    if not found:
        return None
    listed = os.path.join(folder, MARKER)
    made = set()
    if os.path.isfile(listed) and not os.path.islink(listed):
        with open(listed, "rb") as f:
            made = {os.fsdecode(name) for name in f.read().split(b"\0") if name}
    else:
        made = earlier_page(folder)
    others = sorted(found - made - {MARKER})
    if not made or others:
        shown = others if made else sorted(found)
        what = ", ".join(shown[:3]) + (" and more" if len(shown) > 3 else "")
        return (folder + " holds what no build of the page made (" + what +
                "); nothing was changed: name a new or empty folder for the page")
    return None


def finish(folder):
    top = sorted(os.listdir(folder))
    names = []
    for pattern in ("*.fsh", "*.vsh", "logo.png", "tune.ogg", "sync_*.track"):
        names += [name for name in top if fnmatch.fnmatchcase(name, pattern)]
    sources = os.path.join(folder, "demo")
    if os.path.isdir(sources) and not os.path.islink(sources):
        names += ["demo/" + name for name in sorted(os.listdir(sources))]
    with open(os.path.join(folder, "files.json"), "w", encoding="ascii") as f:
        json.dump(names, f, ensure_ascii=True)
        f.write("\n")
    made = sorted(names_under(folder) + [MARKER])
    with open(os.path.join(folder, MARKER), "wb") as f:
        f.write(b"".join(os.fsencode(name) + b"\0" for name in made))


def main(argv):
    if len(argv) != 2 or argv[0] not in ("check", "finish"):
        print("usage: scripts/web-folder.py check OUT | finish FOLDER", file=sys.stderr)
        return 2
    if argv[0] == "finish":
        finish(argv[1])
        return 0
    why = check(argv[1])
    if why:
        print("build-web: " + why, file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
