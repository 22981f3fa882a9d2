#!/usr/bin/env python3
"""The web folder's server against bad requests and bad ports: a path with a
NUL byte is answered 400, a port that is no ASCII number is a one-line
usage error (2), a connection that sends nothing is closed after the idle
time-out, and the page is still served.

    tests/serve_web_test.py SCRIPT
"""
import http.client
import os
import socket
import subprocess
import sys
import tempfile


def fail(text):
    print("FAILED: " + text)
    sys.exit(1)


def main(script):
    for port in ["\u00b2", "٣", "65536", "-1"]:
        run = subprocess.run([sys.executable, script, "--port", port, "."], capture_output=True, text=True, timeout=30)
        if run.returncode != 2 or len(run.stderr.strip().splitlines()) != 1:
            fail("--port %r: status %d, %r" % (port, run.returncode, run.stderr))
    with tempfile.TemporaryDirectory() as folder:
        with open(os.path.join(folder, "index.html"), "w") as page:
            page.write("<p>page</p>\n")
        server = subprocess.Popen([sys.executable, script, "--port", "0", "--idle-timeout", "0.5", folder],
                                  stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        try:
            line = server.stdout.readline()
            port = int(line.split("127.0.0.1:")[1].split("/")[0])
            for path, status in [("/%00", 400), ("/a%00b/index.html", 400), ("/index.html", 200),
                                 ("/../../etc/passwd", 404)]:
                connection = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
                connection.request("GET", path)
                answer = connection.getresponse()
                answer.read()
                connection.close()
                if answer.status != status:
                    fail("GET %s: %d, not %d" % (path, answer.status, status))
            # An idle connection: closed by the server (an empty read), long
            # before the client's own 20 s.
            idle = socket.create_connection(("127.0.0.1", port), timeout=20)
            try:
                if idle.recv(1) != b"":
                    fail("an idle connection was answered")
            except socket.timeout:
                fail("an idle connection was held open")
            finally:
                idle.close()
            if server.poll() is not None:
                fail("the server ended: " + server.stderr.read())
        finally:
            server.terminate()
            server.wait(10)
        if "Traceback" in server.stderr.read():
            fail("a traceback on standard error")
    print("serve-web: passed")


if __name__ == "__main__":
    main(sys.argv[1])
