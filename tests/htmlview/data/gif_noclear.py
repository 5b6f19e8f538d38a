"""Writes a 256-colour GIF whose LZW encoder fills the code table and then goes on with 12-bit
codes without ever sending a clear code again (python3 standard library only).

Usage: python3 gif_noclear.py OUTPUT.gif
"""
import struct
import sys

WIDTH, HEIGHT = 128, 128


def pixels():
    # A deterministic, noisy picture, so that the table fills long before the end.
    state = 12345
    out = bytearray()
    for _ in range(WIDTH * HEIGHT):
        state = (state * 1103515245 + 12345) & 0x7FFFFFFF
        out.append((state >> 16) & 0xFF if state & 0x300 else (state >> 8) & 0x0F)
    return bytes(out)


def lzw(data, min_code_size=8):
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    table = {bytes([i]): i for i in range(clear)}
    next_code, size = end + 1, min_code_size + 1
    codes = [(clear, size)]
    current = b""
    for value in data:
        candidate = current + bytes([value])
        if candidate in table:
            current = candidate
            continue
        codes.append((table[current], size))
        if next_code < 4096:
            table[candidate] = next_code
            next_code += 1
            if next_code > (1 << size) and size < 12:
                size += 1
        current = bytes([value])
    codes.append((table[current], size))
    codes.append((end, size))
    out, buffer, bits = bytearray(), 0, 0
    for code, width in codes:
        buffer |= code << bits
        bits += width
        while bits >= 8:
            out.append(buffer & 0xFF)
            buffer >>= 8
            bits -= 8
    if bits:
        out.append(buffer & 0xFF)
    return bytes(out)


def main(path):
    palette = b"".join(bytes([i, (i * 7) & 0xFF, 255 - i]) for i in range(256))
    data = lzw(pixels())
    blocks = b"".join(bytes([len(data[i:i + 255])]) + data[i:i + 255] for i in range(0, len(data), 255))
    gif = (b"GIF87a" + struct.pack("<HHBBB", WIDTH, HEIGHT, 0xF7, 0, 0) + palette +
           b"\x2c" + struct.pack("<HHHHB", 0, 0, WIDTH, HEIGHT, 0) + b"\x08" + blocks + b"\x00\x3b")
    with open(path, "wb") as f:
        f.write(gif)


if __name__ == "__main__":
    main(sys.argv[1])
