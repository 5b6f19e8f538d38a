#!/usr/bin/env python3
"""Writes the smallest Windows program images the self-extractor tests need: a code section and a
resource section holding one 32 x 32 16-colour icon (RT_ICON id 1, 744 bytes) and its group icon
(RT_GROUP_ICON id 1). Also writes a 766-byte icon file of one such image.

Usage:
  pestub.py exe OUT [--64]     a 32-bit program image, or a 64-bit one
  pestub.py ico OUT [SEED]     an icon file whose pixels follow SEED
"""
import struct
import sys

FILE_ALIGN = 0x200
SECTION_ALIGN = 0x1000
TEXT_RVA = 0x1000
RSRC_RVA = 0x2000


def icon_image(seed):
    """A BITMAPINFOHEADER image of doubled height: 16-colour palette, 4-bit rows, 1-bit mask."""
    header = struct.pack("<IiiHHIIiiII", 40, 32, 64, 1, 4, 0, 640, 0, 0, 0, 0)
    palette = b"".join(
        struct.pack("<BBBB", b, g, r, 0)
        for (r, g, b) in [
            (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
            (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
            (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)])
    pixels = bytes(((seed + y + x) % 16) << 4 | ((seed + y + x + 1) % 16)
                   for y in range(32) for x in range(16))
    mask = bytes(0xFF if (y < 4 and x == 0) else 0 for y in range(32) for x in range(4))
    image = header + palette + pixels + mask
    assert len(image) == 744
    return image


def resource_section(icon):
    group = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHIH", 32, 32, 16, 0, 1, 4, len(icon), 1)

    def directory(entries):
        return struct.pack("<IIHHHH", 0, 0, 0, 0, 0, len(entries)) + b"".join(
            struct.pack("<II", name, target) for name, target in entries)

    sub = 0x80000000
    # Offsets inside the section: root, two type directories, two name directories, two data
    # entries, then the data.
    root, icons, groups, icon_names, group_names = 0, 32, 56, 80, 104
    icon_entry, group_entry, icon_data = 128, 144, 160
    group_data = icon_data + len(icon)
    body = directory([(3, sub | icons), (14, sub | groups)])
    body += directory([(1, sub | icon_names)])
    body += directory([(1, sub | group_names)])
    body += directory([(0x409, icon_entry)])
    body += directory([(0x409, group_entry)])
    body += struct.pack("<IIII", RSRC_RVA + icon_data, len(icon), 0, 0)
    body += struct.pack("<IIII", RSRC_RVA + group_data, len(group), 0, 0)
    assert len(body) == icon_data and root == 0
    return body + icon + group


def pad(data, size):
    return data + b"\0" * (size - len(data))


def program(is64):
    text = b"\xc3"
    rsrc = resource_section(icon_image(3))
    text_raw = FILE_ALIGN
    rsrc_raw = text_raw + FILE_ALIGN
    rsrc_size = (len(rsrc) + FILE_ALIGN - 1) // FILE_ALIGN * FILE_ALIGN
    image_size = RSRC_RVA + (len(rsrc) + SECTION_ALIGN - 1) // SECTION_ALIGN * SECTION_ALIGN

    dos = pad(b"MZ", 60) + struct.pack("<I", 64)
    directories = [(0, 0)] * 16
    directories[2] = (RSRC_RVA, len(rsrc))
    data_directories = b"".join(struct.pack("<II", *d) for d in directories)
    if is64:
        optional = struct.pack("<HBBIIIII", 0x20B, 14, 0, FILE_ALIGN, rsrc_size, 0, TEXT_RVA, TEXT_RVA)
        optional += struct.pack("<Q", 0x140000000)
    else:
        optional = struct.pack("<HBBIIIIII", 0x10B, 14, 0, FILE_ALIGN, rsrc_size, 0, TEXT_RVA, TEXT_RVA, RSRC_RVA)
        optional += struct.pack("<I", 0x400000)
    optional += struct.pack("<IIHHHHHHIIIIHH", SECTION_ALIGN, FILE_ALIGN, 4, 0, 0, 0, 4, 0, 0, image_size,
                            FILE_ALIGN, 0, 2, 0)
    sizes = (0x100000, 0x1000, 0x100000, 0x1000)
    optional += struct.pack("<QQQQ" if is64 else "<IIII", *sizes)
    optional += struct.pack("<II", 0, 16) + data_directories
    machine = 0x8664 if is64 else 0x14C
    characteristics = 0x0022 if is64 else 0x0102
    file_header = struct.pack("<HHIIIHH", machine, 2, 0, 0, 0, len(optional), characteristics)

    def section(name, rva, virtual_size, raw, raw_size, flags):
        return struct.pack("<8sIIIIIIHHI", name, virtual_size, rva, raw_size, raw, 0, 0, 0, 0, flags)

    sections = section(b".text", TEXT_RVA, len(text), text_raw, FILE_ALIGN, 0x60000020)
    sections += section(b".rsrc", RSRC_RVA, len(rsrc), rsrc_raw, rsrc_size, 0x40000040)
    headers = dos + b"PE\0\0" + file_header + optional + sections
    return pad(headers, FILE_ALIGN) + pad(text, FILE_ALIGN) + pad(rsrc, rsrc_size)


def icon_file(seed):
    image = icon_image(seed)
    return struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", 32, 32, 16, 0, 1, 4, len(image), 22) + image


def main():
    kind, out = sys.argv[1], sys.argv[2]
    if kind == "exe":
        data = program("--64" in sys.argv[3:])
    else:
        data = icon_file(int(sys.argv[3]) if len(sys.argv) > 3 else 7)
    with open(out, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
