#!/usr/bin/python3
"""Proportional memory (PSS) of in-app web windows, each on its own account's
profile and a small local page: all in one corvalink-web (as the app runs them)
against a corvalink-web per window (as they ran before; give an earlier build's
helper as the second argument to measure that one). Needs DISPLAY."""
import http.server
import os
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

HELPER = sys.argv[1]
EARLIER = sys.argv[2] if len(sys.argv) > 2 else HELPER
PAGE = b"<html><head><title>Sign in</title></head><body><form><input name=user><input type=password>" \
       b"<button>Sign in</button></form><script>document.title += ' ' + location.search</script></body></html>"
loads = 0


class Page(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        global loads
        loads += 1
        self.send_response(200)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(PAGE)))
        self.end_headers()
        self.wfile.write(PAGE)

    def log_message(self, *args):
        pass


def tree(root):
    children = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                stat = open(f"/proc/{entry}/stat").read()
            except OSError:
                continue
            children.setdefault(int(stat[stat.rindex(")") + 2:].split()[1]), []).append(int(entry))
    found, pending = [], [root]
    while pending:
        pid = pending.pop()
        found.append(pid)
        pending += children.get(pid, [])
    return found


def pss_kib(roots):
    total = 0
    for pid in (p for root in roots for p in tree(root)):
        try:
            total += sum(int(line.split()[1]) for line in open(f"/proc/{pid}/smaps_rollup") if line.startswith("Pss:"))
        except OSError:
            pass
    return total


def window_arguments(home, index, url):
    storage = f"{home}/webdata/{index}"
    os.makedirs(storage, mode=0o700)
    return [f"--profile=account-{index}", f"--storage={storage}", f"--title=Account {index}", f"--url={url}?{index}"]


def settle(processes, expected_loads):
    for process in processes:
        while not process.stdout.readline().startswith(b"shown"):
            pass
    deadline = time.time() + 60
    while loads < expected_loads and time.time() < deadline:
        time.sleep(0.1)
    time.sleep(3)


def measure(count, shared, url, program=HELPER):
    global loads
    loads = 0
    with tempfile.TemporaryDirectory() as home:
        env = dict(os.environ, HOME=home, XDG_DATA_HOME=home, XDG_CACHE_HOME=home)
        arguments = [window_arguments(home, i, url) for i in range(count)]
        if shared:
            helper = subprocess.Popen([program], stdin=subprocess.PIPE, stdout=subprocess.PIPE, env=env)
            for window in arguments:
                line = " ".join(urllib.parse.quote(a, safe="") for a in window)
                helper.stdin.write(f"window {line}\n".encode())
            helper.stdin.flush()
            processes = [helper] * count
        else:
            processes = [subprocess.Popen([program] + window, stdin=subprocess.PIPE, stdout=subprocess.PIPE, env=env)
                         for window in arguments]
        settle(processes, count)
        size = pss_kib({p.pid for p in processes})
        for process in set(processes):
            process.stdin.close()
        for process in set(processes):
            process.wait(30)
        return size


def main():
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Page)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    url = f"http://127.0.0.1:{server.server_port}/login"
    for count in (1, 3, 6):
        shared = measure(count, True, url) // 1024
        separate = measure(count, False, url, EARLIER) // 1024
        print(f"  {count} window(s): one helper {shared} MiB; a helper per window {separate} MiB")
    server.shutdown()


main()
