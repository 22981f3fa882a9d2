#!/usr/bin/env python3
"""The editor's core names no operating system: each file it includes is one
of its own, a C or C++ standard header, Dear ImGui's, the GL toolkit's, or one
of the portable headers of the layers below it; and it calls
nothing that reaches the file system, the environment or another process.
The studio page builds the same files with Emscripten, so whatever this lets
through must also build there."""
import pathlib
import re
import sys

core = pathlib.Path(sys.argv[1])
standard = {
    "algorithm", "array", "cassert", "cctype", "cerrno", "cfloat", "charconv", "chrono", "climits", "cmath",
    "cstddef", "cstdint", "cstdio", "cstdlib", "cstring", "deque", "functional", "initializer_list", "iterator",
    "limits", "map", "memory", "numeric", "optional", "set", "sstream", "string", "string_view", "tuple",
    "unordered_map", "unordered_set", "utility", "vector",
}
toolkit = {"imgui.h", "backends/imgui_impl_opengl3.h", "backends/imgui_impl_glut.h", "GL/glew.h", "GL/freeglut.h"}
# The frame code's own verbs, built for both hosts: the tracks text, the
# timeline and the music's clock.
shared = {"track_text.h", "demo/timeline.h", "demo/clock.h"}
# Calls that open a path, read the environment, or start or signal a process.
forbidden = re.compile(r"\b(getenv|fopen|freopen|popen|system|fork|exec[lv]p?e?|kill|signal|open|opendir|"
                       r"mkstemp|unlink|std::filesystem|ifstream|ofstream|fstream)\s*\(")

own = {p.name for p in core.iterdir()}
faults = []
files = sorted(p for p in core.iterdir() if p.suffix in (".h", ".cpp"))
if len(files) < 20:
    faults.append(f"{core}: only {len(files)} files; is this the editor's core?")
for path in files:
    text = path.read_text()
    for number, line in enumerate(text.splitlines(), 1):
        include = re.match(r'\s*#\s*include\s*([<"])([^>"]+)[>"]', line)
        if include:
            kind, name = include.groups()
            allowed = name in own or name in shared if kind == '"' else name in standard or name in toolkit
            if not allowed:
                faults.append(f"{path.name}:{number}: includes {line.strip().split(None, 1)[1]}")
            continue
        code = re.sub(r"//.*", "", line)
        code = re.sub(r'"([^"\\]|\\.)*"', '""', code)
        found = forbidden.search(code)
        if found:
            faults.append(f"{path.name}:{number}: calls {found.group(1)}")

for fault in faults:
    print(fault)
print(f"{len(files)} files of the core read, {len(faults)} faults")
sys.exit(1 if faults else 0)
