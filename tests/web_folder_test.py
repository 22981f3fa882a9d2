#!/usr/bin/env python3
"""The web page's folder (scripts/web-folder.py, through scripts/build-web.sh):
a folder is replaced only when it is absent, empty, or a page's folder that
holds nothing else; files.json is JSON whatever the names; and a maker's
folder named as the page's output comes back as it was, before anything is
built.

    tests/web_folder_test.py SOURCE_DIR
"""
import json
import os
import subprocess
import sys
import tempfile


def fail(text):
    print("FAILED: " + text)
    sys.exit(1)


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


def main(source):
    helper = os.path.join(source, "scripts", "web-folder.py")

    def check(folder):
        run = subprocess.run([sys.executable, helper, "check", folder], capture_output=True, text=True, timeout=30)
        return run.returncode, run.stderr

    with tempfile.TemporaryDirectory() as scratch:
        status, _ = check(os.path.join(scratch, "absent"))
        if status != 0:
            fail("an absent folder is refused")
        os.mkdir(os.path.join(scratch, "empty"))
        if check(os.path.join(scratch, "empty"))[0] != 0:
            fail("an empty folder is refused")
        demo = os.path.join(scratch, "mydemo")
        write(os.path.join(demo, "demo.tracks"), "track glow\n  0 1 step\n")
        write(os.path.join(demo, "demo.score"), "song\nend\n")
        status, said = check(demo)
        if status != 2 or "demo.score, demo.tracks" not in said or len(said.strip().splitlines()) != 1:
            fail("a demo folder as the page's output: %d %r" % (status, said))
        os.symlink(os.path.join(scratch, "empty"), os.path.join(scratch, "link"))
        write(os.path.join(scratch, "plain"), "a file\n")
        for odd in ("link", "plain"):
            if check(os.path.join(scratch, odd))[0] != 2:
                fail("a %s as the page's folder is taken" % odd)

        # A page's folder: files.json lists odd names intact, the marker
        # lists everything, and anything added since makes it a maker's.
        page = os.path.join(scratch, "page")
        names = ['a "quoted" pass.fsh', "back\\slash #1.fsh", "\u00e9t\u00e9.fsh", "test.vsh", "logo.png",
                 "tune.ogg", "sync_glow.track"]
        for name in names + ["index.html", "demo/demo.toml", "demo/" + names[0]]:
            write(os.path.join(page, name), "x\n")
        subprocess.run([sys.executable, helper, "finish", page], check=True, timeout=30)
        with open(os.path.join(page, "files.json"), encoding="ascii") as f:
            listed = json.load(f)
        expected = sorted(names[:3]) + ["test.vsh", "logo.png", "tune.ogg", "sync_glow.track", "demo/" + names[0],
                                        "demo/demo.toml"]
        if listed != expected:
            fail("files.json lists %r, not %r" % (listed, expected))
        if check(page)[0] != 0:
            fail("a page's own folder is refused")
        write(os.path.join(page, "demo", "notes.txt"), "a maker's\n")
        status, said = check(page)
        if status != 2 or "demo/notes.txt" not in said:
            fail("a file added to a page's folder is not said: %d %r" % (status, said))

        # A page laid out before pages had a marker: taken while it holds
        # only what its files.json lists.
        earlier = os.path.join(scratch, "earlier")
        for name in ("index.html", "page.js", "orvanta.js", "orvanta.wasm", "AA.fsh", "demo/demo.toml"):
            write(os.path.join(earlier, name), "x\n")
        write(os.path.join(earlier, "files.json"), json.dumps(["AA.fsh", "demo/demo.toml"]))
        if check(earlier)[0] != 0:
            fail("an earlier page is refused")
        write(os.path.join(earlier, "mine.txt"), "x\n")
        if check(earlier)[0] != 2:
            fail("an earlier page with a maker's file in it is taken")

        # The build refuses the demo folder before it builds a thing.
        run = subprocess.run(["sh", os.path.join(source, "scripts", "build-web.sh"), os.path.join(scratch, "nobuild"),
                              demo], capture_output=True, text=True, timeout=30)
        if run.returncode != 2 or "mydemo holds what no build of the page made" not in run.stderr:
            fail("build-web.sh over a demo folder: %d %r" % (run.returncode, run.stderr))
        if sorted(os.listdir(demo)) != ["demo.score", "demo.tracks"]:
            fail("the demo folder changed: %r" % os.listdir(demo))
    print("web-folder: passed")


if __name__ == "__main__":
    main(sys.argv[1])
