#!/usr/bin/env python3
"""Installs a build's programs, data and manual under a prefix, and removes
them again: what `make install` and `make uninstall` run, and the build's
own install rules (cmake --install) too.

    scripts/install.py install BUILD --prefix PREFIX
    scripts/install.py uninstall BUILD --prefix PREFIX

DESTDIR, from the environment, stages the install under another root, as a
package's build does: files land in DESTDIR/PREFIX.

What is installed is BUILD/install-files.txt (written by the build: a line a
file, "MODE<tab>SOURCE<tab>DESTINATION", the destination relative to the
prefix). Each install into a prefix is recorded on its own, in
BUILD/installs/, with a hash of every file it wrote and the folders it
made; the prefix and DESTDIR are kept there as JSON, so that any byte in
them reads back as it was (a newline in either is refused).

Nothing that is not this build's is ever replaced or removed:
- the install refuses, before it copies a thing, when a file it would write
  is there with other content and was not written by an install of this
  build into this prefix (another program's, or a folder or a link in its
  place);
- an installed file changed since is kept beside it as NAME.edited (NAME.edited.2,
  ...) and said, and the new one installed;
- the uninstall removes only the files whose content is what was installed,
  says which it kept and why, and the folders the installs made, once empty.

Exit status: 0 done; 2 a usage error (one line); 1 anything else, with a
message naming the file. SIGINT and SIGTERM end it at once, removing the file
being written.
"""
import hashlib
import json
import os
import signal
import stat
import sys
import tempfile

ARGUMENTS = "install|uninstall BUILD --prefix PREFIX"


class Failure(Exception):
    """Ends the run: a message, and the exit status."""

    def __init__(self, message, status=1):
        super().__init__(message)
        self.status = status


# The temporary being written, removed when a signal ends the run.
WRITING = {"path": None}


def on_signal(number, frame):
    if WRITING["path"]:
        try:
            os.unlink(WRITING["path"])
        except OSError:
            pass
    signal.signal(number, signal.SIG_DFL)
    os.kill(os.getpid(), number)


def shown(path):
    """A path as a message shows it: any byte readable, on one line."""
    return os.fsencode(path).decode("utf-8", "backslashreplace").replace("\n", "\\n")


def files_count(n):
    return "%d file%s" % (n, "" if n == 1 else "s")


def file_hash(path):
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for chunk in iter(lambda: f.read(1 << 20), b""):
            digest.update(chunk)
    return digest.hexdigest()


def what_is_at(path):
    """None where nothing is at `path`; "" where something other than a
    regular file is (a link is never followed); else the file's hash."""
    try:
        info = os.lstat(path)
    except FileNotFoundError:
        return None
    return file_hash(path) if stat.S_ISREG(info.st_mode) else ""


def write_atomically(path, data, mode):
    """Writes `data` as the whole file at `path`: a temporary made
    exclusively beside it, checked writes, flushed, closed, renamed."""
    folder, name = os.path.split(path)
    fd, temporary = tempfile.mkstemp(prefix="." + name + ".tmp-", dir=folder)
    WRITING["path"] = temporary
    try:
        with os.fdopen(fd, "wb") as f:
            f.write(data)
            f.flush()
            os.fchmod(f.fileno(), mode)
        os.replace(temporary, path)
    except BaseException:
        try:
            os.unlink(temporary)
        except OSError:
            pass
        raise
    finally:
        WRITING["path"] = None


class Target:
    """Where the files go: PREFIX, staged under DESTDIR."""

    def __init__(self, build, prefix):
        destdir = os.environ.get("DESTDIR", "")
        if not prefix:
            raise Failure("PREFIX is empty; name the folder to install into (make install PREFIX=~/.local)", 2)
        for name, value in (("PREFIX", prefix), ("DESTDIR", destdir)):
            if "\n" in value or "\r" in value:
                raise Failure(name + " holds a line break, which no install takes; name another folder", 2)
        self.prefix = os.path.normpath(os.path.abspath(prefix))
        self.destdir = destdir
        self.root = destdir + self.prefix if destdir else self.prefix
        self.build = os.path.abspath(build)
        key = hashlib.sha256(os.fsencode(destdir) + b"\0" + os.fsencode(self.prefix)).hexdigest()[:32]
        self.records = os.path.join(self.build, "installs")
        self.record_path = os.path.join(self.records, key + ".json")

    def where(self):
        return shown(self.root)

    def path(self, relative):
        return os.path.join(self.root, relative)

    def read_record(self):
        try:
            with open(self.record_path, "r", encoding="ascii") as f:
                record = json.load(f)
        except FileNotFoundError:
            return None
        except (OSError, ValueError) as error:
            raise Failure(shown(self.record_path) + ": cannot read the install's record: " + str(error))
        if record.get("prefix") != self.prefix or record.get("destdir") != self.destdir:
            raise Failure(shown(self.record_path) + ": the record is of another install; remove it by hand")
        return record

    def write_record(self, files, folders):
        os.makedirs(self.records, exist_ok=True)
        record = {"prefix": self.prefix, "destdir": self.destdir, "files": files, "folders": sorted(set(folders))}
        text = json.dumps(record, ensure_ascii=True, indent=1, sort_keys=True) + "\n"
        write_atomically(self.record_path, text.encode("ascii"), 0o644)

    def others(self):
        """The prefixes this build's other installs are recorded for."""
        found = []
        try:
            names = sorted(os.listdir(self.records))
        except OSError:
            return found
        for name in names:
            try:
                with open(os.path.join(self.records, name), "r", encoding="ascii") as f:
                    record = json.load(f)
                found.append(shown(record["destdir"] + record["prefix"] if record["destdir"] else record["prefix"]))
            except (OSError, ValueError, KeyError, TypeError):
                continue
        return found


def read_list(build):
    listed = os.path.join(build, "install-files.txt")
    try:
        with open(listed, "r", encoding="utf-8", errors="surrogateescape") as f:
            lines = f.read().splitlines()
    except OSError as error:
        raise Failure(shown(listed) + ": cannot read: " + error.strerror + " (build first: make)")
    files = []
    for number, line in enumerate(lines, 1):
        fields = line.split("\t")
        if len(fields) != 3 or not fields[0] in ("0644", "0755") or os.path.isabs(fields[2]) or ".." in fields[2].split("/"):
            raise Failure("%s:%d: not a line of an install's list" % (shown(listed), number))
        files.append((int(fields[0], 8), fields[1], os.path.normpath(fields[2])))
    return files


def refuse_unwritable(target, folders):
    """Every folder a file goes to is one this user may write to, or may be
    made in one: found out before the first copy."""
    for folder in sorted(folders):
        probe = target.path(folder)
        while not os.path.lexists(probe):
            probe = os.path.dirname(probe)
        if not (os.path.isdir(probe) and os.access(probe, os.W_OK | os.X_OK)):
            raise Failure("cannot install into " + target.where() + ": " + shown(probe) +
                          " is not a folder this user may write to. Nothing was installed; name a prefix of your own"
                          " (make install PREFIX=~/.local) or install as a user who may write there.")


def keep_aside(path):
    """Moves an edited file to a name of its own, never over another file."""
    for n in range(1, 101):
        candidate = path + ".edited" + ("" if n == 1 else "." + str(n))
        try:
            os.link(path, candidate)
        except FileExistsError:
            continue
        os.unlink(path)
        return candidate
    raise Failure("cannot keep " + shown(path) + " aside: 100 edited copies are there already")


def install(target):
    files = read_list(target.build)
    record = target.read_record() or {"files": {}, "folders": []}
    recorded = record["files"]
    planned = {}
    for mode, source, destination in files:
        try:
            planned[destination] = (mode, source, file_hash(source))
        except OSError as error:
            raise Failure(shown(source) + ": cannot read: " + error.strerror + " (build first: make)")
    folders = {os.path.dirname(destination) for destination in planned}
    refuse_unwritable(target, folders)

    # What is there already: ours and as installed, ours but edited since,
    # or not ours at all.
    foreign, edited, current = [], [], set()
    for destination, (mode, source, digest) in sorted(planned.items()):
        path = target.path(destination)
        there = what_is_at(path)
        if there is None:
            continue
        if not there:
            foreign.append(shown(path) + " (not a regular file)")
        elif there == digest:
            # The very file it would write (after a `make clean` lost the
            # record, say): taken as this install's.
            if stat.S_IMODE(os.lstat(path).st_mode) == mode:
                current.add(destination)
        elif destination in recorded and there in recorded[destination]:
            continue
        elif destination in recorded:
            edited.append(destination)
        else:
            foreign.append(shown(path))
    if foreign:
        listed = "\n  ".join(foreign[:10]) + ("\n  and %d more" % (len(foreign) - 10) if len(foreign) > 10 else "")
        raise Failure("cannot install into " + target.where() + ": these are there already and were not installed "
                      "by this build:\n  " + listed + "\nNothing was installed; move them away, or name another "
                      "prefix (make install PREFIX=~/.local).")

    made = list(record["folders"])
    for folder in sorted(folders):
        missing = []
        probe = target.path(folder)
        while not os.path.lexists(probe):
            missing.append(probe)
            probe = os.path.dirname(probe)
        for path in reversed(missing):
            try:
                os.mkdir(path, 0o755)
            except OSError as error:
                raise Failure("cannot make " + shown(path) + ": " + error.strerror)
            made.append(path)
    # Recorded before the first copy, with what was there and what will be,
    # so that an install cut short is still removed by the uninstall.
    during = {name: list(hashes) for name, hashes in recorded.items()}
    for destination, (mode, source, digest) in planned.items():
        during[destination] = sorted(set(during.get(destination, [])) | {digest})
    target.write_record(during, made)

    for destination in edited:
        kept = keep_aside(target.path(destination))
        print("kept " + shown(kept) + ": " + destination + " was changed since it was installed")
    written = 0
    for destination, (mode, source, digest) in sorted(planned.items()):
        if destination in current:
            continue
        path = target.path(destination)
        try:
            with open(source, "rb") as f:
                data = f.read()
            if hashlib.sha256(data).hexdigest() != digest:
                raise Failure(shown(source) + ": changed while it was installed; install again")
            write_atomically(path, data, mode)
        except OSError as error:
            raise Failure("cannot write " + shown(path) + ": " + (error.strerror or str(error)))
        written += 1
    final = {name: hashes for name, hashes in recorded.items() if name not in planned}
    for destination, (mode, source, digest) in planned.items():
        final[destination] = [digest]
    target.write_record(final, made)
    print("Installed %s into %s (%d already there as they are)" % (files_count(written), target.where(), len(current)))


def uninstall(target):
    record = target.read_record()
    if record is None:
        others = target.others()
        raise Failure("nothing to uninstall: no install into " + target.where() + " is recorded in " +
                      shown(target.records) + (" (its installs: " + ", ".join(others) + "; make uninstall PREFIX=...)"
                                               if others else ""))
    removed, kept = 0, []
    for destination, hashes in sorted(record["files"].items()):
        path = target.path(destination)
        there = what_is_at(path)
        if there is None:
            continue
        if not there:
            kept.append(shown(path) + " (not the file that was installed)")
        elif there not in hashes:
            kept.append(shown(path) + " (changed since it was installed)")
        else:
            os.unlink(path)
            removed += 1
    # Deepest first: a folder goes only once it is empty.
    for folder in sorted(record["folders"], key=lambda path: path.count("/"), reverse=True):
        try:
            os.rmdir(folder)
        except OSError:
            pass
    os.unlink(target.record_path)
    print("Removed %s from %s" % (files_count(removed), target.where()))
    for line in kept:
        print("kept " + line)


def main(argv):
    if "--help" in argv or "-h" in argv:
        print(__doc__.strip())
        return 0
    if len(argv) != 4 or argv[0] not in ("install", "uninstall") or argv[2] != "--prefix":
        print("install: usage: scripts/install.py " + ARGUMENTS, file=sys.stderr)
        return 2
    for number in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
        signal.signal(number, on_signal)
    try:
        target = Target(argv[1], argv[3])
        (install if argv[0] == "install" else uninstall)(target)
    except Failure as failure:
        print(("make " + argv[0] + ": ") + str(failure), file=sys.stderr)
        return failure.status
    except OSError as error:
        print("make " + argv[0] + ": " + shown(error.filename or "") + ": " + (error.strerror or str(error)),
              file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
