#!/usr/bin/env python3
"""Independent check of the 80-bit extended float form used by table files.

An extended value is 10 bytes, little-endian: bytes 0-7 the 64-bit significand (bit 63 the
explicit integer bit), bytes 8-9 a word whose bit 15 is the sign and bits 14-0 the exponent biased
by 16383. Its value is significand * 2 ** (exponent - 16383 - 63); exponent 0x7FFF is an infinity
when the 63 fraction bits are zero and a NaN otherwise.

    ext80.py check FILE        each line: 16 hex digits of a double's bits, then the 20 hex
                               digits of its 10-byte form; exit 0 when every form is exact
    ext80.py make FILE N START  write N random 10-byte forms, each followed by the bits of the
                               double nearest to it (ties to even)

Only the standard library is used, and every value is computed with exact rationals.
"""

import math
import random
import struct
import sys
from fractions import Fraction


def decode(form):
    """Returns ('inf', sign), ('nan', sign) or ('finite', sign, exact magnitude)."""
    significand = int.from_bytes(form[0:8], "little")
    word = int.from_bytes(form[8:10], "little")
    sign = -1 if word & 0x8000 else 1
    exponent = word & 0x7FFF
    if exponent == 0x7FFF:
        if significand & ((1 << 63) - 1) == 0:
            return ("inf", sign)
        return ("nan", sign)
    magnitude = Fraction(significand) * Fraction(2) ** (exponent - 16383 - 63)
    return ("finite", sign, magnitude)


def double_from_bits(bits):
    return struct.unpack("<d", bits.to_bytes(8, "little"))[0]


def bits_of_double(value):
    return int.from_bytes(struct.pack("<d", value), "little")


def check(path):
    failures = 0
    count = 0
    with open(path, "r", encoding="ascii") as lines:
        for number, line in enumerate(lines, 1):
            parts = line.split()
            if not parts:
                continue
            count += 1
            value = double_from_bits(int(parts[0], 16))
            form = bytes.fromhex(parts[1])
            decoded = decode(form)
            if math.isnan(value):
                good = decoded[0] == "nan"
            elif math.isinf(value):
                good = decoded[0] == "inf" and decoded[1] == (1 if value > 0 else -1)
            else:
                negative = math.copysign(1.0, value) < 0
                good = (decoded[0] == "finite"
                        and (decoded[1] < 0) == negative
                        and decoded[2] == abs(Fraction(value)))
                # A non-zero value is written normalised: the integer bit is set.
                if good and value != 0:
                    good = form[7] & 0x80 != 0
            if not good:
                failures += 1
                if failures <= 10:
                    print("line %d: %s %s is wrong" % (number, parts[0], parts[1]))
    print("%d values checked, %d wrong" % (count, failures))
    return 0 if failures == 0 and count > 0 else 1


def nearest_double(form):
    decoded = decode(form)
    if decoded[0] == "inf":
        return math.inf * decoded[1]
    if decoded[0] == "nan":
        return math.nan
    sign, magnitude = decoded[1], decoded[2]
    try:
        # Integer true division is correctly rounded, ties to even, subnormals included.
        result = magnitude.numerator / magnitude.denominator
    except OverflowError:
        result = math.inf
    return math.copysign(result, sign)


def random_form(generator):
    significand = generator.getrandbits(64)
    choice = generator.random()
    if choice < 0.7:
        exponent = generator.randint(16383 - 1100, 16383 + 1100)  # across the double range
    elif choice < 0.9:
        exponent = generator.randint(16383 - 1080, 16383 - 1015)  # subnormal boundary
    elif choice < 0.97:
        exponent = generator.randint(0, 0x7FFE)  # mostly far beyond the double range
    else:
        exponent = 0x7FFF
    if generator.random() < 0.05:
        significand &= (1 << 63) - 1  # integer bit clear: the value is taken as written
    word = exponent | (0x8000 if generator.random() < 0.5 else 0)
    return significand.to_bytes(8, "little") + word.to_bytes(2, "little")


def make(path, count, start):
    generator = random.Random(start)
    with open(path, "w", encoding="ascii") as out:
        for _ in range(count):
            form = random_form(generator)
            value = nearest_double(form)
            if math.isnan(value):
                text = "nan"
            else:
                text = "%016x" % bits_of_double(value)
            out.write("%s %s\n" % (form.hex(), text))
    return 0


def main(arguments):
    if len(arguments) == 2 and arguments[0] == "check":
        return check(arguments[1])
    if len(arguments) == 4 and arguments[0] == "make":
        return make(arguments[1], int(arguments[2]), int(arguments[3]))
    print(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
