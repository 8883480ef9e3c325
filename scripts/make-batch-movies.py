#!/usr/bin/env python3
"""Makes a folder of small SWF movies for trying out batch conversion, some of them damaged.

    scripts/make-batch-movies.py FOLDER [COUNT] [DAMAGED_PERCENT]

Each good movie is a 320 x 240 stage with a square moving across it for 24 to 96 frames at
24 frames a second; every tenth movie (by default) is damaged in one of several ways: cut
short, random bytes, empty, a compressed body that does not inflate, or tags that run past
the file's end. The movies are numbered movie-000.swf, ...; the damaged ones are listed in
FOLDER/damaged.txt. Nothing here is random from run to run.
"""
import os
import random
import struct
import sys
import zlib


class Bits:
    def __init__(self):
        self.bits = []

    def unsigned(self, value, count):
        self.bits += [(value >> (count - 1 - i)) & 1 for i in range(count)]

    def signed(self, value, count):
        self.unsigned(value & ((1 << count) - 1), count)

    def data(self):
        padded = self.bits + [0] * (-len(self.bits) % 8)
        return bytes(int("".join(map(str, padded[i:i + 8])), 2) for i in range(0, len(padded), 8))


def signed_bits(*values):
    return max(max(abs(v) for v in values).bit_length() + 1, 2)


def rect(x0, x1, y0, y1):
    n = signed_bits(x0, x1, y0, y1)
    b = Bits()
    b.unsigned(n, 5)
    for v in (x0, x1, y0, y1):
        b.signed(v, n)
    return b.data()


def tag(code, body=b""):
    if len(body) < 63:
        return struct.pack("<H", code << 6 | len(body)) + body
    return struct.pack("<HI", code << 6 | 63, len(body)) + body


def square_shape(shape_id, size, rgb):
    b = Bits()
    b.unsigned(1, 4)  # fill bits
    b.unsigned(0, 4)  # line bits
    # Style change: fill style 1, move to (0, 0).
    b.unsigned(0, 1)
    b.unsigned(0b00011, 5)
    b.unsigned(2, 5)
    b.signed(0, 2)
    b.signed(0, 2)
    b.unsigned(1, 1)
    n = signed_bits(size)
    for dx, dy in ((size, 0), (0, size), (-size, 0), (0, -size)):
        b.unsigned(0b11, 2)  # edge, straight
        b.unsigned(n - 2, 4)
        b.unsigned(1, 1)  # general line
        b.signed(dx, n)
        b.signed(dy, n)
    b.unsigned(0, 6)  # end of shape
    styles = bytes([1, 0x00]) + bytes(rgb) + bytes([0])
    return tag(2, struct.pack("<H", shape_id) + rect(0, size, 0, size) + styles + b.data())


def matrix(x, y):
    n = signed_bits(x, y)
    b = Bits()
    b.unsigned(0, 1)
    b.unsigned(0, 1)
    b.unsigned(n, 5)
    b.signed(x, n)
    b.signed(y, n)
    return b.data()


def movie(frames, rgb):
    twips = 20
    body = tag(9, bytes([0x20, 0x20, 0x40]))
    body += square_shape(1, 80 * twips, rgb)
    for f in range(frames):
        x = (f * 240 // max(frames - 1, 1)) * twips
        if f == 0:
            body += tag(26, bytes([0x06]) + struct.pack("<HH", 1, 1) + matrix(x, 80 * twips))
        else:
            body += tag(26, bytes([0x05]) + struct.pack("<H", 1) + matrix(x, 80 * twips))
        body += tag(1)
    body += tag(0)
    head = rect(0, 320 * twips, 0, 240 * twips) + struct.pack("<HH", 24 << 8, frames)
    payload = head + body
    return b"FWS" + bytes([8]) + struct.pack("<I", 8 + len(payload)) + payload


def damaged(kind, good, rng):
    if kind == 0:
        return good[: rng.randrange(5, len(good) // 2)]
    if kind == 1:
        return bytes(rng.randrange(256) for _ in range(rng.randrange(1, 400)))
    if kind == 2:
        return b""
    if kind == 3:
        return b"CWS" + bytes([8]) + struct.pack("<I", 100000) + bytes(rng.randrange(256) for _ in range(64))
    # A tag that claims far more bytes than the file has.
    cut = good[:40] + struct.pack("<HI", 2 << 6 | 63, 0x7FFFFFF0) + b"\x01\x00"
    return cut[:4] + struct.pack("<I", len(cut)) + cut[8:]


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    folder = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 200
    percent = int(sys.argv[3]) if len(sys.argv) > 3 else 10
    os.makedirs(folder, exist_ok=True)
    rng = random.Random(1234)
    step = max(1, round(100 / percent)) if percent > 0 else 0
    bad = []
    for i in range(count):
        good = movie(24 + (i * 7) % 73, (rng.randrange(256), rng.randrange(256), 0))
        name = "movie-%03d.swf" % i
        data = good
        if step and i % step == step - 1:
            data = damaged(len(bad) % 5, good, rng)
            bad.append(name)
        with open(os.path.join(folder, name), "wb") as out:
            out.write(data)
    with open(os.path.join(folder, "damaged.txt"), "w") as out:
        out.write("".join(n + "\n" for n in bad))
    print("%d movies in %s, %d damaged" % (count, folder, len(bad)))


if __name__ == "__main__":
    main()
