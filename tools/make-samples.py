#!/usr/bin/env python3
"""Writes the small sample pictures in samples/ that `make run` shows dibtool on.

Run from the project folder: tools/make-samples.py
"""
import math
import os
import struct
import zlib

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "samples")

ADAM7 = [(0, 0, 8, 8), (0, 4, 8, 8), (4, 0, 8, 4), (0, 2, 4, 4), (2, 0, 4, 2), (0, 1, 2, 2), (1, 0, 2, 1)]


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def pack_row(samples, depth):
    """Packs one row of samples (a flat list) at the given bit depth."""
    if depth == 8:
        return bytes(samples)
    if depth == 16:
        return b"".join(struct.pack(">H", s) for s in samples)
    out, acc, bits = bytearray(), 0, 0
    for s in samples:
        acc = (acc << depth) | s
        bits += depth
        if bits == 8:
            out.append(acc)
            acc, bits = 0, 0
    if bits:
        out.append(acc << (8 - bits))
    return bytes(out)


def png(width, height, depth, colour, pixel, interlace=False, plte=None, trns=None):
    """pixel(x, y) returns the tuple of samples of one pixel."""
    raw = bytearray()
    passes = ADAM7 if interlace else [(0, 0, 1, 1)]
    for ry, rx, sy, sx in passes:
        xs = range(rx, width, sx)
        if not xs:
            continue
        for y in range(ry, height, sy):
            raw.append(0)
            raw += pack_row([s for x in xs for s in pixel(x, y)], depth)
    data = b"\x89PNG\r\n\x1a\n"
    data += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, depth, colour, 0, 0, int(interlace)))
    if plte:
        data += chunk(b"PLTE", bytes(plte))
    if trns:
        data += chunk(b"tRNS", bytes(trns))
    data += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    return data + chunk(b"IEND", b"")


def write(name, data):
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)


def main():
    os.makedirs(OUT, exist_ok=True)

    def disc(x, y):  # a soft disc over a colour gradient
        d = math.hypot(x - 31.5, y - 31.5)
        a = max(0, min(255, int((32 - d) * 24)))
        return (x * 4, y * 4, 255 - x * 2, a)

    write("disc-rgba.png", png(64, 64, 8, 6, disc))

    palette = [c for i in range(16) for c in (i * 17, 255 - i * 17, 128)]
    write("stripes-palette.png",
          png(48, 24, 4, 3, lambda x, y: ((x // 3) % 16,), plte=palette, trns=[0] + [255] * 15))

    write("rings-grey-interlaced.png",
          png(40, 30, 8, 0, lambda x, y: (int(127 + 127 * math.sin(math.hypot(x - 20, y - 15) / 2)),),
              interlace=True))

    write("checker-rgb16.png",
          png(32, 32, 16, 2, lambda x, y: ((65535, 0, 0) if (x // 8 + y // 8) % 2 else (0, 0, 65535)),
              trns=[0, 0, 0, 0, 0xFF, 0xFF]))

    whole = png(16, 16, 8, 2, lambda x, y: (x * 16, y * 16, 0))
    write("truncated.png", whole[: len(whole) - 20])


if __name__ == "__main__":
    main()
