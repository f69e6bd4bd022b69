#!/usr/bin/env python3
"""Loopback DNS peers for tests: real dnsmasq servers plus small scripted ones.

    dns_peers.py start DIR    picks free loopback addresses 127.X.Y.Z (port 53),
                              starts the servers, writes DIR/servers, returns when ready
    dns_peers.py stop DIR     stops everything started for DIR

DIR/servers has one "name address" line per server:
    plain0..plain4  dnsmasq: www.baidu.com -> 10.53.0.1 .. 10.53.0.5
    alias           dnsmasq: www.baidu.com is a CNAME of cdn.example.test -> 10.53.1.1
    slow            answers 300 ms late with 10.53.2.1
    silent          reads queries and never answers
    wrongid         first a reply with another id (10.66.6.6) and one from another
                    port, then the right reply (10.53.3.1)
    truncated       a reply cut to 20 bytes
    oversize        a 2,000-byte datagram whose first record is 10.53.4.1
    noend           1,024 bytes: a header and a question name without its end
Every server answers any question; the probe name is only the engine's.
Needs root (port 53); binds only 127.0.0.0/8.
"""
import os
import random
import signal
import socket
import struct
import subprocess
import sys
import threading
import time

DNSMASQ = "/usr/sbin/dnsmasq"
PROBE = "www.baidu.com"


def free_addresses(count):
    """count addresses 127.X.Y.1.. with port 53 free, in one random /24."""
    for _ in range(50):
        base = "127.%d.%d." % (random.randint(16, 250), random.randint(1, 250))
        addresses = [base + str(i + 1) for i in range(count)]
        ok = True
        for a in addresses:
            s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
            try:
                s.bind((a, 53))
            except OSError:
                ok = False
            finally:
                s.close()
            if not ok:
                break
        if ok:
            return addresses
    raise SystemExit("no free loopback addresses")


def answer(query, ip, qid=None):
    head = bytearray(query[:12])
    if qid is not None:
        head[0:2] = struct.pack(">H", qid)
    head[2:4] = b"\x81\x80"
    head[6:8] = b"\x00\x01"
    end = query.index(b"\0", 12) + 5
    record = b"\xc0\x0c\x00\x01\x00\x01\x00\x00\x00\x3c\x00\x04" + socket.inet_aton(ip)
    return bytes(head) + query[12:end] + record


def scripted(kind, address):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.bind((address, 53))
    other = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    other.bind((address, 0))
    while True:
        query, peer = s.recvfrom(2048)
        if len(query) < 17:
            continue
        if kind == "slow":
            time.sleep(0.3)
            s.sendto(answer(query, "10.53.2.1"), peer)
        elif kind == "wrongid":
            s.sendto(answer(query, "10.66.6.6", qid=0x1234), peer)
            other.sendto(answer(query, "10.66.6.7"), peer)
            time.sleep(0.05)
            s.sendto(answer(query, "10.53.3.1"), peer)
        elif kind == "truncated":
            s.sendto(answer(query, "10.53.9.9")[:20], peer)
        elif kind == "oversize":
            s.sendto(answer(query, "10.53.4.1") + b"\0" * 2000, peer)
        elif kind == "noend":
            head = bytearray(query[:12])
            head[2:4] = b"\x81\x80"
            head[6:8] = b"\x00\x01"
            s.sendto(bytes(head) + b"\x3f" * 1012, peer)
        # "silent" never answers


def serve(root, scripted_servers):
    for kind, address in scripted_servers:
        threading.Thread(target=scripted, args=(kind, address), daemon=True).start()
    signal.signal(signal.SIGTERM, lambda *_: os._exit(0))
    while True:
        time.sleep(3600)


def start(root):
    stop(root)
    os.makedirs(root, exist_ok=True)
    names = ["plain0", "plain1", "plain2", "plain3", "plain4", "alias",
             "slow", "silent", "wrongid", "truncated", "oversize", "noend"]
    addresses = dict(zip(names, free_addresses(len(names))))
    pids = []
    for i, name in enumerate(names[:6]):
        args = [DNSMASQ, "-C", "/dev/null", "--no-resolv", "--no-hosts", "--bind-interfaces",
                "--listen-address=" + addresses[name], "--port=53", "--user=root",
                "--pid-file=" + os.path.join(root, name + ".pid"), "--log-facility=/dev/null"]
        if name == "alias":
            args += ["--host-record=cdn.example.test,10.53.1.1", "--cname=%s,cdn.example.test" % PROBE]
        else:
            args += ["--host-record=%s,10.53.0.%d" % (PROBE, i + 1)]
        subprocess.run(args, check=True)
    log = open(os.path.join(root, "peers.log"), "ab")
    proc = subprocess.Popen([sys.executable, os.path.abspath(__file__), "serve", root] +
                            ["%s=%s" % (n, addresses[n]) for n in names[6:]],
                            stdin=subprocess.DEVNULL, stdout=log, stderr=log, start_new_session=True)
    with open(os.path.join(root, "scripted.pid"), "w") as f:
        f.write(str(proc.pid))
    time.sleep(0.5)
    with open(os.path.join(root, "servers"), "w") as f:
        for n in names:
            f.write("%s %s\n" % (n, addresses[n]))
    return 0


def stop(root):
    if not os.path.isdir(root):
        return 0
    for name in os.listdir(root):
        if not name.endswith(".pid"):
            continue
        path = os.path.join(root, name)
        try:
            with open(path) as f:
                os.kill(int(f.read().strip()), signal.SIGTERM)
        except (ValueError, ProcessLookupError, FileNotFoundError):
            pass
        try:
            os.remove(path)  # dnsmasq may already have removed its own
        except FileNotFoundError:
            pass
    return 0


def main(argv):
    if len(argv) >= 3 and argv[1] == "serve":
        serve(argv[2], [tuple(a.split("=", 1)) for a in argv[3:]])
        return 0
    if len(argv) == 3 and argv[1] in ("start", "stop"):
        root = os.path.abspath(argv[2])
        return start(root) if argv[1] == "start" else stop(root)
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
