#!/usr/bin/env python3
"""Serves the web build's folder on this machine only (127.0.0.1) and prints
its address; any static web server does the same job on a real host.

    scripts/serve-web.py [--port N] [--idle-timeout S] FOLDER

The port defaults to 8000; 0 takes a free one. A connection that sends
nothing for S seconds (default 30) is closed, so that idle browsers and
stalled clients hold no thread. Ctrl-C ends it.
"""
import functools
import http.server
import os
import signal
import sys

USAGE = "usage: scripts/serve-web.py [--port N] [--idle-timeout S] FOLDER"


def usage_error(text):
    print("serve-web: " + text, file=sys.stderr)
    sys.exit(2)


def main(argv):
    if "--help" in argv or "-h" in argv:
        print(__doc__.strip())
        return 0
    port, folder, idle = 8000, None, 30.0
    args = iter(argv)
    for arg in args:
        if arg == "--port":
            value = next(args, None)
            if value is None or not (value.isascii() and value.isdigit()) or int(value) > 65535:
                usage_error("--port takes a number from 0 to 65535")
            port = int(value)
        elif arg == "--idle-timeout":
            value = next(args, None)
            try:
                idle = float(value)
            except (TypeError, ValueError):
                idle = -1.0
            if not 0.1 <= idle <= 3600:
                usage_error("--idle-timeout takes seconds from 0.1 to 3600")
        elif arg.startswith("-"):
            usage_error("unknown option " + arg)
        elif folder is None:
            folder = arg
        else:
            usage_error("one folder only")
    if folder is None:
        usage_error("no folder to serve (" + USAGE + ")")
    if not os.path.isfile(os.path.join(folder, "index.html")):
        print("serve-web: " + folder + " holds no index.html (make web builds it)", file=sys.stderr)
        return 1

    root = os.path.realpath(folder)
    # Ends at once, with the conventional status.
    signal.signal(signal.SIGINT, signal.SIG_DFL)
    signal.signal(signal.SIGTERM, signal.SIG_DFL)

    class Handler(http.server.SimpleHTTPRequestHandler):
        # Browsers compile a module while it streams in only when it comes
        # as application/wasm.
        extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map, ".wasm": "application/wasm"}
        # Every read from the connection waits this long at most.
        timeout = idle

        # Nothing outside the folder, by a link or otherwise.
        def send_head(self):
            try:
                real = os.path.realpath(self.translate_path(self.path))
            except ValueError:
                # A NUL byte, or a path the system cannot name.
                self.send_error(400)
                return None
            if real != root and not real.startswith(root + os.sep):
                self.send_error(404)
                return None
            return super().send_head()

        def log_message(self, format, *args):
            pass

    try:
        server = http.server.ThreadingHTTPServer(("127.0.0.1", port), functools.partial(Handler, directory=folder))
    except OSError as error:
        print("serve-web: cannot listen on 127.0.0.1:%d: %s" % (port, error.strerror), file=sys.stderr)
        return 1
    print("Orvanta is at http://127.0.0.1:%d/ (Ctrl-C ends it)" % server.server_address[1], flush=True)
    server.serve_forever()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
