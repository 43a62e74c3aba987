#!/usr/bin/env python3
"""Shrinks a screenshot for the repository: halves an 8-bit RGB or RGBA PNG
(box filter), keeps the top `bits` bits of each channel and writes it as an
RGB PNG with Paeth filtering. Only the standard library is needed.

    shrink_png.py IN.png OUT.png [bits]
"""
import struct
import sys
import zlib


def read_png(path):
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        sys.exit("shrink_png: not a PNG: " + path)
    pos, idat, header = 8, [], None
    while pos + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat.append(body)
        pos += 12 + length
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour not in (2, 6) or interlace:
        sys.exit("shrink_png: only 8-bit RGB or RGBA, not interlaced")
    bpp = 3 if colour == 2 else 4
    raw = zlib.decompress(b"".join(idat))
    stride = width * bpp
    rows, prev = [], bytearray(stride)
    for y in range(height):
        f = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b = prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            if f == 1:
                line[i] = (line[i] + a) & 255
            elif f == 2:
                line[i] = (line[i] + b) & 255
            elif f == 3:
                line[i] = (line[i] + ((a + b) >> 1)) & 255
            elif f == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(line)
        prev = line
    return width, height, bpp, rows


def write_png(path, width, height, rows):
    out, prev = bytearray(), bytearray(width * 3)
    for line in rows:
        out.append(4)
        for i in range(len(line)):
            a = line[i - 3] if i >= 3 else 0
            b = prev[i]
            c = prev[i - 3] if i >= 3 else 0
            p = a + b - c
            pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
            out.append((line[i] - (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255)
        prev = line

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(out), 9)) + chunk(b"IEND", b"")
    open(path, "wb").write(png)


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    bits = int(sys.argv[3]) if len(sys.argv) > 3 else 5
    mask = (0xFF << (8 - bits)) & 0xFF
    width, height, bpp, rows = read_png(sys.argv[1])
    w, h = width // 2, height // 2
    small = []
    for y in range(h):
        r0, r1, line = rows[2 * y], rows[2 * y + 1], bytearray(w * 3)
        for x in range(w):
            for k in range(3):
                i, j = 2 * x * bpp + k, (2 * x + 1) * bpp + k
                line[3 * x + k] = ((r0[i] + r0[j] + r1[i] + r1[j] + 2) >> 2) & mask
        small.append(line)
    write_png(sys.argv[2], w, h, small)


main()
