#!/usr/bin/env python3
"""PC1 stream cipher with a 128-bit key, transcribed from the published description (the code and
assemble steps with the multipliers 20021 and 346), used as a peer by the cipher tests.

Usage:
  pc1.py encrypt KEYHEX DATAHEX      prints the letters 'a'..'p'
  pc1.py decrypt KEYHEX LETTERS      prints the plain bytes in hex
  pc1.py batch FILE                  each line "KEYHEX DATAHEX" -> one line of letters
"""
import sys

M = 0xFFFF


class Pc1:
    def __init__(self, key: bytes):
        self.cle = bytearray(16)
        self.cle[: min(16, len(key))] = key[:16]
        self.x1a0 = [0] * 8
        self.x1a2 = 0
        self.si = 0
        self.i = 0

    def code(self):
        dx = (self.x1a2 + self.i) & M
        ax = self.x1a0[self.i]
        cx = 0x015A
        bx = 0x4E35
        ax, self.si = self.si, ax
        ax, dx = dx, ax
        if ax != 0:
            ax = (ax * bx) & M
        ax, cx = cx, ax
        if ax != 0:
            ax = (ax * self.si) & M
            cx = (ax + cx) & M
        ax, self.si = self.si, ax
        ax = (ax * bx) & M
        dx = (cx + dx) & M
        ax = (ax + 1) & M
        self.x1a2 = dx
        self.x1a0[self.i] = ax
        res = ax ^ dx
        self.i += 1
        return res

    def assemble(self):
        inter = 0
        for k in range(8):
            word = (self.cle[2 * k] << 8) | self.cle[2 * k + 1]
            self.x1a0[k] = word if k == 0 else self.x1a0[k - 1] ^ word
            inter ^= self.code()
        self.i = 0
        return inter

    def encrypt(self, data: bytes) -> str:
        out = []
        for c in data:
            inter = self.assemble()
            for k in range(16):
                self.cle[k] ^= c
            c ^= (inter >> 8) ^ (inter & 0xFF)
            out.append(chr(0x61 + (c >> 4)) + chr(0x61 + (c & 15)))
        return "".join(out)

    def decrypt(self, letters: str) -> bytes:
        out = bytearray()
        for p in range(0, len(letters) - 1, 2):
            d = ((ord(letters[p]) - 0x61) * 16 + (ord(letters[p + 1]) - 0x61)) & 0xFF
            inter = self.assemble()
            c = d ^ (inter >> 8) ^ (inter & 0xFF)
            for k in range(16):
                self.cle[k] ^= c
            out.append(c)
        return bytes(out)


def main(argv):
    if argv[1] == "encrypt":
        print(Pc1(bytes.fromhex(argv[2])).encrypt(bytes.fromhex(argv[3])))
    elif argv[1] == "decrypt":
        print(Pc1(bytes.fromhex(argv[2])).decrypt(argv[3]).hex())
    elif argv[1] == "batch":
        with open(argv[2]) as f:
            for line in f:
                key, data = line.rstrip("\n").split(" ")
                print(Pc1(bytes.fromhex(key)).encrypt(bytes.fromhex(data)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
