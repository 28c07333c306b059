"""Times one page over one kept-alive connection: prints the median time to first byte and the
median total time, in ms, of `count` requests after a few warm-up ones.

usage: page_timing.py HOST PORT PATH [COUNT]"""
import re
import socket
import statistics
import sys
import time


class Reader:
    def __init__(self, sock):
        self.sock = sock
        self.buf = b""

    def fill(self):
        data = self.sock.recv(262144)
        if not data:
            raise EOFError("server closed the connection")
        self.buf += data

    def line(self):
        while b"\r\n" not in self.buf:
            self.fill()
        line, self.buf = self.buf.split(b"\r\n", 1)
        return line

    def take(self, size):
        while len(self.buf) < size:
            self.fill()
        data, self.buf = self.buf[:size], self.buf[size:]
        return data


def read_response(reader):
    reader.line()  # status line
    head = []
    while True:
        line = reader.line()
        if not line:
            break
        head.append(line.lower())
    if any(re.match(rb"transfer-encoding: *chunked", h) for h in head):
        while True:
            size = int(reader.line().split(b";")[0], 16)
            if size == 0:
                reader.line()
                return
            reader.take(size + 2)
    for h in head:
        match = re.match(rb"content-length: *(\d+)", h)
        if match:
            reader.take(int(match.group(1)))
            return
    raise ValueError("response without a length")


def main():
    host, port, path = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    count = int(sys.argv[4]) if len(sys.argv) > 4 else 201
    sock = socket.create_connection((host, port))
    sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    reader = Reader(sock)
    request = f"GET {path} HTTP/1.1\r\nHost: {host}\r\n\r\n".encode()
    first, total = [], []
    for i in range(count + 10):
        start = time.perf_counter()
        sock.sendall(request)
        reader.fill()
        got_first = time.perf_counter()
        read_response(reader)
        done = time.perf_counter()
        if i >= 10:
            first.append((got_first - start) * 1000)
            total.append((done - start) * 1000)
    print(f"{statistics.median(first):.3f} {statistics.median(total):.3f}")


if __name__ == "__main__":
    main()
