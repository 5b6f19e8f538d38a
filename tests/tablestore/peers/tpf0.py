#!/usr/bin/env python3
"""An independent reader and writer of binary table files (the "TPF0" tagged value stream).

  tpf0.py dump FILE          prints the file as JSON: version, field and index definitions,
                             every record with its versions (status and values)
  tpf0.py encode JSON FILE   writes a version-251 file from such JSON

Values in the JSON: null for a null value, integers, booleans, floats (the extended value
narrowed to the nearest double), and every text, bytes or blob value as hex of its bytes.
Standard library only.
"""

import json
import struct
import sys
from fractions import Fraction

TYPE_NAMES = ["Unknown", "String", "SmallInt", "Integer", "Word", "Boolean", "Float",
              "Currency", "BCD", "Date", "Time", "DateTime", "Bytes", "VarBytes", "AutoInc",
              "Blob", "Memo", "Graphic", "FmtMemo", "ParadoxOle", "dBaseOle", "TypedBinary",
              "Cursor"]
INTEGER_TYPES = {"SmallInt", "Integer", "Word", "AutoInc"}
FLOAT_TYPES = {"Float", "Currency", "BCD", "Date", "Time", "DateTime"}


class Damaged(Exception):
    pass


# --- 80-bit extended numbers ---------------------------------------------------------------

def extended_to_double(raw):
    """The double nearest to the 10-byte extended value, ties to even."""
    significand = int.from_bytes(raw[0:8], "little")
    word = int.from_bytes(raw[8:10], "little")
    negative = bool(word & 0x8000)
    exponent = word & 0x7FFF
    if exponent == 0x7FFF:
        if significand & ((1 << 63) - 1):
            return float("nan")
        return float("-inf") if negative else float("inf")
    if significand == 0:
        return -0.0 if negative else 0.0
    value = Fraction(significand) * Fraction(2) ** (exponent - 16383 - 63)
    result = fraction_to_double(value)
    return -result if negative else result


def fraction_to_double(value):
    """Rounds a positive rational to the nearest double, ties to even."""
    if value >= Fraction(2) ** 1024:
        return float("inf")
    # Find e with 2^e <= value < 2^(e+1).
    e = value.numerator.bit_length() - value.denominator.bit_length()
    if Fraction(2) ** e > value:
        e -= 1
    # The unit in the last place: 52 fraction bits, or the subnormal step.
    ulp_exp = max(e, -1022) - 52
    scaled = value / Fraction(2) ** ulp_exp
    whole = scaled.numerator // scaled.denominator
    rest = scaled - whole
    if rest > Fraction(1, 2) or (rest == Fraction(1, 2) and whole % 2 == 1):
        whole += 1
    if whole == 0:
        return 0.0
    if whole >= 2 ** 53 and ulp_exp + 53 > 1023:
        return float("inf")
    return float(Fraction(whole) * Fraction(2) ** ulp_exp)


def double_to_extended(value):
    """The exact 80-bit form of a double."""
    bits = struct.unpack("<Q", struct.pack("<d", value))[0]
    negative = bits >> 63
    exponent = (bits >> 52) & 0x7FF
    fraction = bits & ((1 << 52) - 1)
    if exponent == 0x7FF:
        ext_exp = 0x7FFF
        significand = (1 << 63) | (fraction << 11)
    elif exponent == 0 and fraction == 0:
        ext_exp = 0
        significand = 0
    elif exponent == 0:
        # Subnormal: normalise so that the integer bit is set.
        shift = 64 - fraction.bit_length()
        significand = fraction << shift
        ext_exp = (1 - 1023 - 52) + 63 - shift + 16383
    else:
        ext_exp = exponent - 1023 + 16383
        significand = (1 << 63) | (fraction << 11)
    word = (negative << 15) | ext_exp
    return significand.to_bytes(8, "little") + word.to_bytes(2, "little")


# --- Reading --------------------------------------------------------------------------------

class Reader:
    def __init__(self, data):
        self.data = data
        self.pos = 0

    def take(self, count):
        if count < 0 or self.pos + count > len(self.data):
            raise Damaged("Stream read error")
        chunk = self.data[self.pos:self.pos + count]
        self.pos += count
        return chunk

    def peek(self):
        if self.pos >= len(self.data):
            raise Damaged("Stream read error")
        return self.data[self.pos]

    def tag(self):
        return self.take(1)[0]

    def end_of_list(self):
        return self.peek() == 0

    def expect(self, value):
        if self.tag() != value:
            raise Damaged("Invalid property value")

    def list_begin(self):
        self.expect(1)

    def list_end(self):
        self.expect(0)

    def integer_of(self, tag):
        if tag == 2:
            return struct.unpack("<b", self.take(1))[0]
        if tag == 3:
            return struct.unpack("<h", self.take(2))[0]
        if tag == 4:
            return struct.unpack("<i", self.take(4))[0]
        raise Damaged("Invalid property value")

    def integer(self):
        return self.integer_of(self.tag())

    def float(self):
        tag = self.tag()
        if tag == 5:
            return extended_to_double(self.take(10))
        return float(self.integer_of(tag))

    def string(self):
        tag = self.tag()
        if tag == 6:
            return self.take(self.take(1)[0])
        if tag == 12:
            return self.take(struct.unpack("<i", self.take(4))[0])
        raise Damaged("Invalid property value")

    def boolean(self):
        return self.tag() == 9


def dump(data):
    r = Reader(data)
    if r.take(4) != b"TPF0":
        raise Damaged("Invalid stream format")
    version = 100 if r.peek() == 1 else r.integer()
    fields = []
    r.list_begin()
    while not r.end_of_list():
        field = {
            "name": r.string().hex(),
            "type": r.string().decode("latin-1"),
            "size": r.integer(),
            "label": r.string().hex(),
            "mask": r.string().hex(),
            "width": r.integer(),
            "required": r.boolean(),
            "readonly": r.boolean(),
            "kind": r.string().decode("latin-1") if version >= 250 else "Data",
        }
        if version >= 251:
            r.string()
        fields.append(field)
    r.list_end()
    indexes = []
    if version >= 200:
        r.list_begin()
        while not r.end_of_list():
            name = r.string()
            names = r.string()
            r.string()
            descending = r.boolean()
            insensitive = r.boolean()
            r.boolean()
            unique = r.boolean()
            indexes.append({"name": name.hex(), "fields": names.hex(), "descending": descending,
                            "caseinsensitive": insensitive, "unique": unique})
        r.list_end()
    records = []
    r.list_begin()
    while not r.end_of_list():
        versions = []
        if version >= 230:
            r.list_begin()
        while True:
            status = r.integer() if version >= 230 else 0
            values = []
            for field in fields:
                is_null = r.boolean() if version >= 249 else False
                values.append(None if is_null else read_value(r, field["type"], version))
            versions.append({"status": status, "values": values})
            if version < 230 or r.end_of_list():
                break
        if version >= 230:
            r.list_end()
        records.append(versions)
    r.list_end()
    return {"version": version, "fields": fields, "indexes": indexes, "records": records}


def read_value(r, type_name, version):
    if type_name in INTEGER_TYPES:
        return r.integer()
    if type_name == "Boolean":
        return r.boolean()
    if type_name in FLOAT_TYPES:
        value = r.float()
        if type_name in ("Date", "Time", "DateTime") and value == 0.0 and version < 249:
            return None
        return value
    return r.string().hex()


# --- Writing --------------------------------------------------------------------------------

class Writer:
    def __init__(self):
        self.out = bytearray()

    def integer(self, value):
        if -128 <= value <= 127:
            self.out += b"\x02" + struct.pack("<b", value)
        elif -32768 <= value <= 32767:
            self.out += b"\x03" + struct.pack("<h", value)
        else:
            self.out += b"\x04" + struct.pack("<i", value)

    def boolean(self, value):
        self.out += b"\x09" if value else b"\x08"

    def float(self, value):
        self.out += b"\x05" + double_to_extended(value)

    def string(self, value):
        if len(value) <= 255:
            self.out += b"\x06" + bytes([len(value)]) + value
        else:
            self.out += b"\x0c" + struct.pack("<i", len(value)) + value

    def list_begin(self):
        self.out += b"\x01"

    def list_end(self):
        self.out += b"\x00"


def encode(table):
    w = Writer()
    w.out += b"TPF0"
    w.integer(251)
    w.list_begin()
    for field in table["fields"]:
        w.string(bytes.fromhex(field["name"]))
        w.string(field["type"].encode("latin-1"))
        w.integer(field["size"])
        w.string(bytes.fromhex(field["label"]))
        w.string(bytes.fromhex(field["mask"]))
        w.integer(field["width"])
        w.boolean(field["required"])
        w.boolean(field["readonly"])
        w.string(field["kind"].encode("latin-1"))
        w.string(b"")
    w.list_end()
    w.list_begin()
    for index in table["indexes"]:
        name = bytes.fromhex(index["name"])
        w.string(name)
        w.string(bytes.fromhex(index["fields"]))
        w.string(name)
        w.boolean(index["descending"])
        w.boolean(index["caseinsensitive"])
        w.boolean(False)
        w.boolean(index["unique"])
    w.list_end()
    w.list_begin()
    for versions in table["records"]:
        w.list_begin()
        for version in versions:
            w.integer(version["status"])
            for field, value in zip(table["fields"], version["values"]):
                w.boolean(value is None)
                if value is not None:
                    write_value(w, field["type"], value)
        w.list_end()
    w.list_end()
    return bytes(w.out)


def write_value(w, type_name, value):
    if type_name in INTEGER_TYPES:
        w.integer(value)
    elif type_name == "Boolean":
        w.boolean(value)
    elif type_name in FLOAT_TYPES:
        w.float(float(value))
    else:
        w.string(bytes.fromhex(value))


def main(args):
    if len(args) == 2 and args[0] == "dump":
        with open(args[1], "rb") as f:
            print(json.dumps(dump(f.read())))
        return 0
    if len(args) == 3 and args[0] == "encode":
        with open(args[1], "r") as f:
            table = json.load(f)
        with open(args[2], "wb") as f:
            f.write(encode(table))
        return 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv[1:]))
    except Damaged as failure:
        print(failure, file=sys.stderr)
        sys.exit(1)
