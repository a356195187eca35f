#!/usr/bin/env python3
"""Writes the plug-in's linear grayscale ICC profile (resource IDR_LINEAR_COLOR_PROFILE).

An ICC v2.1 output-class GRAY profile, XYZ connection space, D50 illuminant, five tags: a
copyright text, the description "Default Grayscale Profile", the media white point (D50), a
zero media black point and a 256-entry gray tone curve with a straight toe of 16 per entry for
entries 0-5 and a power curve of exponent 1.73695 above it. 912 bytes.
"""
import struct
import sys

D50 = (0.9642, 1.0, 0.8249)


def s15f16(value):
    return struct.pack(">i", int(round(value * 65536)))


def xyz_tag(x, y, z):
    return b"XYZ " + b"\0" * 4 + s15f16(x) + s15f16(y) + s15f16(z)


def text_tag(text):
    return b"text" + b"\0" * 4 + text.encode("ascii") + b"\0"


def desc_tag(text):
    ascii_text = text.encode("ascii") + b"\0"
    return (b"desc" + b"\0" * 4 + struct.pack(">I", len(ascii_text)) + ascii_text
            + struct.pack(">II", 0, 0) + struct.pack(">HB", 0, 0) + b"\0" * 67)


def curve_entries():
    entries = []
    for j in range(256):
        if j <= 5:
            entries.append(16 * j)
        else:
            entries.append(int(round((j / 255.0) ** 1.73695 * 65535)))
    return entries


def curve_tag():
    entries = curve_entries()
    return b"curv" + b"\0" * 4 + struct.pack(">I", len(entries)) + struct.pack(">%dH" % len(entries), *entries)


def pad4(data):
    return data + b"\0" * (-len(data) % 4)


def build():
    tags = [(b"cprt", text_tag("Copyright Vellbrook Software")),
            (b"desc", desc_tag("Default Grayscale Profile")),
            (b"wtpt", xyz_tag(*D50)),
            (b"bkpt", xyz_tag(0.0, 0.0, 0.0)),
            (b"kTRC", curve_tag())]
    offset = 128 + 4 + 12 * len(tags)
    table = struct.pack(">I", len(tags))
    data = b""
    for signature, body in tags:
        table += signature + struct.pack(">II", offset + len(data), len(body))
        data += pad4(body)
    size = 128 + len(table) + len(data)
    header = (struct.pack(">I", size) + b"VBSW" + struct.pack(">I", 0x02100000) + b"prtr" + b"GRAY" + b"XYZ "
              + struct.pack(">6H", 2011, 3, 3, 0, 0, 0) + b"acsp" + b"MSFT" + struct.pack(">I", 0)
              + b"\0" * 8 + b"\0" * 8 + struct.pack(">I", 0) + s15f16(D50[0]) + s15f16(D50[1]) + s15f16(D50[2])
              + b"VBSW" + b"\0" * 44)
    assert len(header) == 128
    return header + table + data


if __name__ == "__main__":
    profile = build()
    assert len(profile) == 912, len(profile)
    with open(sys.argv[1], "wb") as out:
        out.write(profile)
