#!/usr/bin/env python3
"""Reads a report template (.frf) or a prepared report (.frp) on its own and prints what it holds
as JSON.

    frf_dump.py FILE [--addin CLASS=BYTES ...] [--expect MODEL.json]

A prepared report is walked sheet by sheet through the end position each sheet stores.

Add-in objects store bytes of their own after the common part; --addin gives how many a class
stores. With --expect the result is compared with a JSON model instead of printed: the exit
status is 0 when both hold the same, 1 with the differences on standard output otherwise.
"""

import argparse
import codecs
import json
import struct
import sys
import zlib


# Windows-1252 leaves five bytes undefined; they stand for the C1 controls of the same value.
def _c1_controls(error):
    return chr(error.object[error.start]), error.start + 1


codecs.register_error("c1-controls", _c1_controls)


def text(raw):
    return raw.decode("cp1252", errors="c1-controls")


class Reader:
    def __init__(self, data):
        self.data = data
        self.pos = 0
        self.version = 23

    def take(self, count):
        if count < 0 or self.pos + count > len(self.data):
            raise ValueError("truncated at %d" % self.pos)
        chunk = self.data[self.pos:self.pos + count]
        self.pos += count
        return chunk

    def unpack(self, fmt):
        size = struct.calcsize(fmt)
        return struct.unpack(fmt, self.take(size))

    def u8(self):
        return self.unpack("<B")[0]

    def i16(self):
        return self.unpack("<h")[0]

    def u16(self):
        return self.unpack("<H")[0]

    def i32(self):
        return self.unpack("<i")[0]

    def u32(self):
        return self.unpack("<I")[0]

    def at_end(self):
        return self.pos >= len(self.data)

    def zero_terminated(self):
        end = self.data.find(b"\0", self.pos)
        if end < 0:
            raise ValueError("unterminated text at %d" % self.pos)
        raw = self.data[self.pos:end]
        self.pos = end + 1
        return raw

    def string(self):
        if self.version < 23:
            return text(self.zero_terminated())
        raw = self.take(self.u16())
        self.take(1)
        return text(raw)

    def lines(self):
        if self.version < 23:
            return self.lines22()
        if self.u16() == 0:
            self.take(1)
            return []
        result = []
        while True:
            result.append(text(self.take(self.u16())))
            if self.u8() == 0:
                return result

    def lines22(self):
        result = []
        while True:
            start = self.pos
            while self.data[self.pos] not in (0, 13):
                self.pos += 1
            segment = self.data[start:self.pos]
            ended_by = self.data[self.pos]
            self.pos += 1
            if ended_by == 13:
                result.append(text(segment))
            else:
                if segment:
                    result.append(text(segment))
                return result

    def short_string(self):
        return text(self.take(self.u8()))


def frame_width(code):
    return float(code) if code <= 10 else code / 1000.0


def read_page(reader):
    page = {
        "paper_size": reader.i32(),
        "paper_width": reader.i32(),
        "paper_height": reader.i32(),
        "margins": [reader.i32() for _ in range(4)],
        "orientation": reader.u8(),
    }
    if reader.version < 23:
        reader.take(6)
    page["continue_previous"] = reader.i16() != 0
    page["use_margins"] = reader.i16() != 0
    page["column_count"] = reader.i32()
    page["column_gap"] = reader.i32()
    return page


def read_common(reader, view):
    if reader.version >= 23:
        view["name"] = reader.string()
    (view["left"], view["top"], view["width"], view["height"], view["flags"], view["frame_typ"],
     code, view["frame_color"], view["frame_style"]) = reader.unpack("<iiiiHHiIH")
    view["frame_width"] = frame_width(code)
    view["fill_color"] = reader.u32()
    view["format"] = reader.u32()
    view["format_text"] = reader.string()
    view["memo"] = reader.lines()
    view["script"] = []
    view["visible"] = True
    if reader.version > 22:
        view["script"] = reader.lines()
        view["visible"] = reader.i16() != 0


def read_text_object(reader, view):
    font = {"name": reader.string(), "size": reader.i32(), "style": reader.u16(), "color": reader.u32(),
            "adjust": reader.i32(), "charset": reader.u16() & 0xFF}
    (font["highlight_style"], font["highlight_color"], font["highlight_fill"]) = reader.unpack("<HII")
    font["highlight_condition"] = reader.string()
    if reader.version == 21:
        view["flags"] |= 2
    view["font"] = font


def read_picture(reader, view):
    kind = reader.u8()
    end = reader.u32()
    start = reader.pos
    if end < start or end > len(reader.data):
        raise ValueError("picture end %d outside %d..%d" % (end, start, len(reader.data)))
    data = reader.data[start:end]
    reader.pos = end
    view["picture"] = {"kind": kind if kind <= 3 else 0, "size": len(data) if 0 < kind <= 3 else 0,
                       "crc32": zlib.crc32(data) if 0 < kind <= 3 else 0}


def read_object(reader, typ, addins):
    view = {"type": typ, "class": ""}
    if typ == 10:
        view["class"] = reader.string()
    view["page"] = reader.u8()
    framed = typ == 10 and view["class"].upper() == "TFRFRAMEDMEMOVIEW"
    if framed:
        view["type"] = 0
        view["class"] = ""
    read_common(reader, view)
    if typ == 0 or framed:
        read_text_object(reader, view)
        if framed:
            reader.take(8)
    elif typ == 1:
        read_picture(reader, view)
    elif typ == 3:
        view["sub_page"] = reader.i32()
    elif typ == 10:
        if view["class"] not in addins:
            raise ValueError("unknown add-in %s" % view["class"])
        view["extra"] = reader.take(addins[view["class"]]).hex()
    elif typ not in (2, 4):
        raise ValueError("object type %d" % typ)
    return view


def read_values(reader):
    count = reader.i32()
    values = []
    for _ in range(count):
        kind = reader.u8()
        other = reader.i32()
        values.append({"kind": kind, "other_kind": other, "dataset": reader.short_string(),
                       "field": reader.short_string(), "name": reader.short_string()})
    return values


def read_template(data, addins):
    reader = Reader(data)
    version = reader.u8()
    if version > 23:
        raise ValueError("version %d" % version)
    if version < 21:
        version = 21
        reader.pos = 0
    reader.version = version
    model = {"version": version, "print_to_default": reader.i16() != 0, "two_pass": reader.i16() != 0,
             "printer": reader.string(), "pages": [], "objects": [], "values": [], "variables": [],
             "data_manager": False}
    while not reader.at_end():
        tag = reader.u8()
        if tag == 255:
            model["pages"].append(read_page(reader))
        elif tag <= 10:
            model["objects"].append(read_object(reader, tag, addins))
        elif tag == 254:
            model["values"] = read_values(reader)
            model["variables"] = reader.lines()
        elif tag == 253:
            model["data_manager"] = True
            break
        else:
            raise ValueError("tag %d at %d" % (tag, reader.pos - 1))
    return model


def read_prepared_object(reader, addins):
    typ = reader.u8()
    view = {"type": typ, "class": ""}
    if typ == 10:
        view["class"] = reader.string()
    (view["left"], view["top"], view["width"], view["height"], view["flags"], view["frame_typ"],
     code, view["frame_color"], view["frame_style"]) = reader.unpack("<iiiiHHiIH")
    view["frame_width"] = frame_width(code)
    view["fill_color"] = reader.u32()
    view["memo"] = reader.lines()
    if typ == 0:
        view["font"] = {"name": reader.string(), "size": reader.i32(), "style": reader.u16(),
                        "color": reader.u32(), "adjust": reader.i32(), "charset": reader.u16() & 0xFF}
    elif typ == 1:
        read_picture(reader, view)
    elif typ == 3:
        view["sub_page"] = reader.i32()
    elif typ == 10:
        if view["class"] not in addins:
            raise ValueError("unknown add-in %s" % view["class"])
        view["extra"] = reader.take(addins[view["class"]]).hex()
    elif typ not in (2, 4):
        raise ValueError("object type %d" % typ)
    return view


def read_prepared(data, addins):
    reader = Reader(data)
    flag = reader.u8()
    if flag in (1, 255):
        raise ValueError("compressed file")
    if flag != 0:
        raise ValueError("older layout")
    model = {"printer": reader.string(), "sheets": []}
    count = reader.u32()
    for _ in range(count):
        end = reader.u32()
        sheet = {"paper_size": reader.u16(), "width": reader.i32(), "height": reader.i32(),
                 "orientation": reader.u8(), "use_margins": reader.u8()}
        if end < reader.pos or end > len(data):
            raise ValueError("sheet end %d outside %d..%d" % (end, reader.pos, len(data)))
        # Picture records hold positions within their page stream, which starts at 0.
        page = Reader(data[reader.pos:end])
        sheet["version"] = page.u8()
        sheet["objects"] = []
        while not page.at_end():
            sheet["objects"].append(read_prepared_object(page, addins))
        reader.pos = end
        model["sheets"].append(sheet)
    if not reader.at_end():
        raise ValueError("%d bytes after the last sheet" % (len(data) - reader.pos))
    return model


def differences(expected, actual, path="$"):
    if isinstance(expected, float) or isinstance(actual, float):
        if not isinstance(expected, (int, float)) or not isinstance(actual, (int, float)) \
                or abs(expected - actual) > 1e-6 * max(1.0, abs(expected)):
            return ["%s: expected %r, read %r" % (path, expected, actual)]
        return []
    if isinstance(expected, dict) and isinstance(actual, dict):
        found = []
        for key in sorted(set(expected) | set(actual)):
            if key not in actual or key not in expected:
                found.append("%s.%s: only in %s" % (path, key, "model" if key in expected else "file"))
            else:
                found += differences(expected[key], actual[key], "%s.%s" % (path, key))
        return found
    if isinstance(expected, list) and isinstance(actual, list):
        if len(expected) != len(actual):
            return ["%s: %d items expected, %d read" % (path, len(expected), len(actual))]
        found = []
        for index, (e, a) in enumerate(zip(expected, actual)):
            found += differences(e, a, "%s[%d]" % (path, index))
        return found
    return [] if expected == actual else ["%s: expected %r, read %r" % (path, expected, actual)]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("file")
    parser.add_argument("--addin", action="append", default=[], help="CLASS=BYTES")
    parser.add_argument("--expect")
    arguments = parser.parse_args()
    addins = {}
    for entry in arguments.addin:
        name, size = entry.rsplit("=", 1)
        addins[name] = int(size)
    with open(arguments.file, "rb") as stream:
        data = stream.read()
    model = read_prepared(data, addins) if arguments.file.lower().endswith(".frp") else read_template(data, addins)
    if not arguments.expect:
        json.dump(model, sys.stdout, indent=1, sort_keys=True)
        print()
        return 0
    with open(arguments.expect, encoding="utf-8") as stream:
        expected = json.load(stream)
    found = differences(expected, model)
    for line in found:
        print(line)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
