"""Writes the small PNG files of the transparency check (python3 standard library only): a
palette file with tRNS, an RGB file with tRNS, an RGBA file, a palette file whose tRNS comes after
IDAT, and one whose IHDR and PLTE are longer than the reader's buffers."""
import struct
import zlib


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def header(colour_type, extra=b""):
    return chunk(b"IHDR", struct.pack(">IIBBBBB", 2, 2, 8, colour_type, 0, 0, 0) + extra)


def idat(row_bytes):
    return chunk(b"IDAT", zlib.compress((b"\x00" + b"\x00" * row_bytes) * 2))


SIGNATURE = b"\x89PNG\r\n\x1a\n"
PALETTE = chunk(b"PLTE", bytes([10, 20, 30, 40, 50, 60, 70, 80, 90, 200, 100, 0]))
END = chunk(b"IEND", b"")

files = {
    # tRNS of 3 entries: entry 2 (70, 80, 90) is the transparent one.
    "t3.png": header(3) + PALETTE + chunk(b"tRNS", b"\xff\xff\x00") + idat(2) + END,
    "t2.png": header(2) + chunk(b"tRNS", struct.pack(">HHH", 1, 2, 3)) + idat(6) + END,
    "t6.png": header(6) + chunk(b"tRNS", b"\x00") + idat(8) + END,
    "idatfirst.png": header(3) + PALETTE + idat(2) + chunk(b"tRNS", b"\xff\x00") + END,
    "long.png": header(3, bytes(87)) + chunk(b"PLTE", bytes(range(256)) * 3 + bytes(132))
    + chunk(b"tRNS", b"\xff" * 300) + idat(2) + END,
}
for name, body in files.items():
    with open(name, "wb") as f:
        f.write(SIGNATURE + body)
