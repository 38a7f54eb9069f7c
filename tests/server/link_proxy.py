#!/usr/bin/env python3
"""A bad network link in front of a server on loopback, for tests and benchmarks (the kernel here
has no traffic shaping): a TCP proxy on 127.0.0.1 that forwards every connection to --target and
can

  --cut-after-mib N   cut each connection once N MiB (fractions allowed) have gone to the client:
                      a reset (--cut-mode reset, the default) or a plain close (--cut-mode close)
  --rtt-ms N          add N ms to every round trip: half each way, and one round trip before the
                      connection to the server is made, as a handshake would cost
  --rate-kib N        let at most N KiB a second reach the clients, all connections together
  --buffer-kib N      how far each direction reads ahead of what it has sent (default 4096): the
                      link's own buffer, which also bounds throughput to about N KiB per half RTT

It counts the bytes it hands to clients (the body and headers the server sent, as far as the link
let them through) and keeps the total in --count-file, updated before each piece is sent, so the
file is up to date once a client has what it was sent. Each connection gets a line on stderr when
it opens and one when it ends, with what it handed over.
Bounded: it listens on 127.0.0.1 only, forwards only to a loopback address, and ends when the
process that started it ends or after --time-limit seconds (default 3600).

  usage: link_proxy.py --target PORT [--target-host 127.0.0.1] --port-file FILE [--pid-file FILE]
                       [--count-file FILE] [--cut-after-mib N] [--cut-mode reset|close]
                       [--rtt-ms N] [--rate-kib N] [--buffer-kib N] [--time-limit S]
"""
import argparse
import collections
import ipaddress
import os
import select
import socket
import struct
import sys
import threading
import time

PIECE = 64 * 1024
PACED_PIECE = 16 * 1024  # smaller pieces when the rate is capped, so the pace stays even


class Link:
    """What all connections share: the counter, the rate and the settings."""

    def __init__(self, args):
        self.args = args
        self.cut_bytes = int(args.cut_after_mib * 1024 * 1024) if args.cut_after_mib else 0
        self.half_delay = args.rtt_ms / 2000.0
        self.rate = args.rate_kib * 1024.0 if args.rate_kib else 0.0
        self.buffer = int(args.buffer_kib * 1024)
        self.lock = threading.Lock()
        self.sent = 0
        self.next_send = time.monotonic()
        self.count_fd = None
        if args.count_file:
            self.count_fd = os.open(args.count_file, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
            self.write_count()

    def write_count(self):
        # A fixed width, written in place with one call: a reader never sees half a number.
        os.pwrite(self.count_fd, b"%20d\n" % self.sent, 0)

    def count(self, size):
        with self.lock:
            self.sent += size
            if self.count_fd is not None:
                self.write_count()

    def pace(self, size):
        """Waits until size more bytes fit the link's rate."""
        if not self.rate:
            return
        with self.lock:
            now = time.monotonic()
            start = max(now, self.next_send)
            self.next_send = start + size / self.rate
        if start > now:
            time.sleep(start - now)


def pump(link, source, sink, to_client, name, closed):
    """Forwards one direction until either side ends or the link cuts; returns True for a cut. With
    a delay, a reader queues each piece with the time it is due and this thread sends it then, so
    the delay adds latency without capping throughput."""
    queue = collections.deque()
    ready = threading.Condition()
    queued = [0]

    def read():
        while not closed.is_set():
            with ready:
                # Read ahead of the sending only so far: a capped link must not hold the whole file.
                if queued[0] >= link.buffer:
                    ready.wait(0.2)
                    continue
            try:
                if not select.select([source], [], [], 0.2)[0]:
                    continue
                data = source.recv(PACED_PIECE if (link.rate and to_client) else PIECE)
            except OSError:
                data = b""
            with ready:
                queue.append((time.monotonic() + link.half_delay, data))
                queued[0] += len(data)
                ready.notify_all()
            if not data:
                return

    threading.Thread(target=read, daemon=True).start()
    given = 0
    cut = False
    while not closed.is_set():
        with ready:
            if not queue:
                ready.wait(0.2)
                continue
            due, data = queue.popleft()
            queued[0] -= len(data)
            ready.notify_all()
        wait = due - time.monotonic()
        if wait > 0:
            time.sleep(wait)
        if not data:
            break
        if to_client and link.cut_bytes:
            data = data[: link.cut_bytes - given]
        if to_client:
            link.pace(len(data))
            link.count(len(data))
        try:
            sink.sendall(data)
        except OSError:
            break
        given += len(data)
        if to_client and link.cut_bytes and given >= link.cut_bytes:
            cut = True
            break
    closed.set()
    if to_client:
        print(f"link: {name}: {given} bytes to the client{', then cut' if cut else ''}", file=sys.stderr, flush=True)
    return cut


def serve(link, client, number):
    name = f"connection {number}"
    print(f"link: {name}: open", file=sys.stderr, flush=True)
    if link.half_delay:
        time.sleep(2 * link.half_delay)
    try:
        server = socket.create_connection((link.args.target_host, link.args.target), timeout=10)
        server.settimeout(None)
    except OSError as error:
        print(f"link: {name}: the server cannot be reached: {error}", file=sys.stderr, flush=True)
        client.close()
        return
    for s in (client, server):
        s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    closed = threading.Event()
    up = threading.Thread(target=pump, args=(link, client, server, False, name, closed), daemon=True)
    up.start()
    cut = pump(link, server, client, True, name, closed)
    up.join()
    if cut and link.args.cut_mode == "reset":
        # Closing with a zero linger time sends a reset instead of the orderly end.
        client.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    client.close()
    server.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--target", type=int, required=True)
    parser.add_argument("--target-host", default="127.0.0.1")
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--pid-file")
    parser.add_argument("--count-file")
    parser.add_argument("--cut-after-mib", type=float, default=0)
    parser.add_argument("--cut-mode", choices=("reset", "close"), default="reset")
    parser.add_argument("--rtt-ms", type=float, default=0)
    parser.add_argument("--rate-kib", type=float, default=0)
    parser.add_argument("--buffer-kib", type=float, default=4096)
    parser.add_argument("--time-limit", type=float, default=3600)
    args = parser.parse_args()
    if not ipaddress.ip_address(socket.gethostbyname(args.target_host)).is_loopback:
        parser.error("the target must be on loopback")
    if args.cut_after_mib < 0 or args.rtt_ms < 0 or args.rate_kib < 0:
        parser.error("the link's figures cannot be negative")

    link = Link(args)
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    listener.settimeout(0.2)
    if args.pid_file:
        with open(args.pid_file, "w") as f:
            f.write(f"{os.getpid()}\n")
    with open(args.port_file + ".tmp", "w") as f:
        f.write(f"{listener.getsockname()[1]}\n")
    os.replace(args.port_file + ".tmp", args.port_file)

    parent = os.getppid()
    deadline = time.monotonic() + args.time_limit
    number = 0
    while os.getppid() == parent and time.monotonic() < deadline:
        try:
            client, _ = listener.accept()
        except socket.timeout:
            continue
        number += 1
        threading.Thread(target=serve, args=(link, client, number), daemon=True).start()
    print(f"link: ends, {link.sent} bytes to clients in {number} connections", file=sys.stderr, flush=True)


if __name__ == "__main__":
    main()
