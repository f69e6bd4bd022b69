#!/usr/bin/env python3
"""NTP peers for the time tool's tests, on loopback only.

  ntp_peers.py start <dir>   picks a free 127.x.y.0/24, starts chronyd as a
                             local server of the host clock on .1 (it never
                             adjusts the clock: -x, no sources) and the fake
                             servers below; writes <dir>/peers.txt
                             ("name=address" lines) and <dir>/pids
  ntp_peers.py stop <dir>    stops what start started, by process id
  ntp_peers.py serve <dir> <net>   runs the fake servers (used by start)

Fake servers, all on port 123 (the tool's fixed port), one address each:
  year    a good reply a year ahead of now
  kod     stratum 0 (kiss-o'-death)
  unsync  leap indicator 3
  short   a 40-byte reply
  client  mode 3 instead of 4
  spoof   first a year-ahead reply from port 124 and from another address,
          then the right reply from port 123
  slow    a good reply after 1.5 s, stamped 0.75 s before it leaves (as if
          the delay lay half on each way)
  era1    transmit seconds 100 of the next NTP era (2036-02-07 06:29:56 UTC)
  closed  nothing listens
Every datagram the fake servers receive is appended, as hex, to
<dir>/requests.txt.
"""
import os
import random
import selectors
import signal
import socket
import struct
import subprocess
import sys
import threading
import time

NTP_EPOCH_OFFSET = 2208988800
FAKES = {"year": 2, "kod": 3, "unsync": 4, "short": 5, "client": 6, "spoof": 7,
         "slow": 8, "era1": 10}
SPOOF_SOURCE = 9   # the other address the spoofed datagram comes from
CLOSED = 11


def ntp_timestamp(unix_time):
    seconds = int(unix_time)
    fraction = int((unix_time - seconds) * 2**32) & 0xFFFFFFFF
    return (seconds + NTP_EPOCH_OFFSET) & 0xFFFFFFFF, fraction


def reply(first=0x1C, stratum=2, stamp=None, size=48):
    """A reply: leap/version/mode byte, stratum, transmit timestamp."""
    sec, frac = stamp if stamp is not None else ntp_timestamp(time.time())
    packet = struct.pack(">BBbbII4sQQQII", first, stratum, 6, -20, 0, 0, b"LOCL", 0, 0, 0,
                         sec, frac)
    return packet[:size]


def serve(folder, net):
    sel = selectors.DefaultSelector()
    socks = {}
    for name, host in FAKES.items():
        s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        s.bind((f"{net}.{host}", 123))
        sel.register(s, selectors.EVENT_READ, name)
        socks[name] = s
    other_port = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    other_port.bind((f"{net}.{FAKES['spoof']}", 124))
    other_host = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    other_host.bind((f"{net}.{SPOOF_SOURCE}", 123))
    log = open(os.path.join(folder, "requests.txt"), "a", buffering=1)
    year = 365 * 86400
    while True:
        for key, _ in sel.select():
            name, s = key.data, key.fileobj
            data, peer = s.recvfrom(2048)
            log.write(f"{name} {data.hex()}\n")
            if name == "year":
                s.sendto(reply(stamp=ntp_timestamp(time.time() + year)), peer)
            elif name == "kod":
                s.sendto(reply(stratum=0), peer)
            elif name == "unsync":
                s.sendto(reply(first=0xDC), peer)
            elif name == "short":
                s.sendto(reply(size=40), peer)
            elif name == "client":
                s.sendto(reply(first=0x1B), peer)
            elif name == "spoof":
                wrong = reply(stamp=ntp_timestamp(time.time() + year))
                other_port.sendto(wrong, peer)
                other_host.sendto(wrong, peer)
                time.sleep(0.2)
                s.sendto(reply(), peer)
            elif name == "slow":
                threading.Timer(1.5, lambda s=s, peer=peer: s.sendto(
                    reply(stamp=ntp_timestamp(time.time() - 0.75)), peer)).start()
            elif name == "era1":
                s.sendto(reply(stamp=(100, 0)), peer)


def port_free(address):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    try:
        s.bind((address, 123))
        return True
    except OSError:
        return False
    finally:
        s.close()


def answers(address, timeout=0.5):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.settimeout(timeout)
    try:
        s.sendto(bytes([0x1B]) + bytes(47), (address, 123))
        return len(s.recvfrom(2048)[0]) >= 40
    except OSError:
        return False
    finally:
        s.close()


def start(folder):
    os.makedirs(folder, exist_ok=True)
    stop(folder)
    rng = random.Random()
    hosts = [1, SPOOF_SOURCE, CLOSED] + list(FAKES.values())
    for _ in range(200):
        net = f"127.{rng.randint(100, 250)}.{rng.randint(0, 255)}"
        if all(port_free(f"{net}.{h}") for h in hosts):
            break
    else:
        sys.exit("no free loopback network for the NTP peers")

    conf = os.path.join(folder, "chrony.conf")
    with open(conf, "w") as f:
        f.write(f"bindaddress {net}.1\nport 123\nallow 127.0.0.0/8\nlocal stratum 3\n"
                f"cmdport 0\nbindcmdaddress /\npidfile {folder}/chronyd.pid\n")
    # -x: never touch the system clock; -n: stay in the foreground (our child)
    chrony = subprocess.Popen(["chronyd", "-x", "-n", "-u", "root", "-f", conf,
                               "-l", os.path.join(folder, "chronyd.log")],
                              stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, start_new_session=True)
    fake = subprocess.Popen([sys.executable, os.path.abspath(__file__), "serve", folder, net],
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=open(os.path.join(folder, "fake.log"), "w"),
                            start_new_session=True)
    with open(os.path.join(folder, "pids"), "w") as f:
        f.write(f"{chrony.pid}\n{fake.pid}\n")
    open(os.path.join(folder, "requests.txt"), "w").close()

    deadline = time.time() + 10
    while not (answers(f"{net}.1") and answers(f"{net}.{FAKES['year']}")):
        if time.time() > deadline or chrony.poll() is not None or fake.poll() is not None:
            stop(folder)
            sys.exit("the NTP peers did not come up")
        time.sleep(0.1)

    with open(os.path.join(folder, "peers.txt"), "w") as f:
        f.write(f"chrony={net}.1\n")
        for name, host in FAKES.items():
            f.write(f"{name}={net}.{host}\n")
        f.write(f"closed={net}.{CLOSED}\n")
    print(f"NTP peers on {net}.0/24: chronyd pid {chrony.pid}, fake servers pid {fake.pid}")


def stop(folder):
    pids_file = os.path.join(folder, "pids")
    if not os.path.exists(pids_file):
        return
    for line in open(pids_file):
        pid = int(line)
        try:
            os.kill(pid, signal.SIGTERM)
        except ProcessLookupError:
            continue
        for _ in range(50):
            try:
                os.kill(pid, 0)
            except ProcessLookupError:
                break
            time.sleep(0.05)
        else:
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
    os.remove(pids_file)
    for name in ("peers.txt",):
        try:
            os.remove(os.path.join(folder, name))
        except FileNotFoundError:
            pass


if __name__ == "__main__":
    command, folder = sys.argv[1], os.path.abspath(sys.argv[2])
    if command == "start":
        start(folder)
    elif command == "stop":
        stop(folder)
    elif command == "serve":
        serve(folder, sys.argv[3])
    else:
        sys.exit(__doc__)
