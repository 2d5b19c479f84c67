#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Makes the damaged executable fixtures from a sound one that carries a manifest (type 24, id 1):
cut off inside its resources, a resource directory that leads back into itself, a data entry
that points past the end of the file, and a file that is no program at all. A reader must find no
manifest in any of them, and must neither loop nor read out of bounds on the way.

usage: damage.py SOUND.exe OUTPUT_DIRECTORY
"""
import os
import struct
import sys


def resource_layout(data):
    """The file offset of the resource directory and a function from an RVA to a file offset."""
    pe, = struct.unpack_from("<I", data, 0x3C)
    sections, optional_size = struct.unpack_from("<H", data, pe + 6)[0], struct.unpack_from("<H", data, pe + 20)[0]
    magic, = struct.unpack_from("<H", data, pe + 24)
    directories = pe + 24 + (96 if magic == 0x10B else 112)
    resource_rva, = struct.unpack_from("<I", data, directories + 2 * 8)
    table = pe + 24 + optional_size
    spans = []
    for i in range(sections):
        virtual_size, virtual_address, raw_size, raw_offset = struct.unpack_from("<IIII", data, table + 40 * i + 8)
        spans.append((virtual_address, raw_size, raw_offset))

    def to_offset(rva):
        for virtual_address, raw_size, raw_offset in spans:
            if virtual_address <= rva < virtual_address + raw_size:
                return raw_offset + rva - virtual_address
        raise SystemExit("RVA %#x lies in no section" % rva)

    return to_offset(resource_rva), to_offset


def entry_for(data, directory, wanted):
    """The file offset of the entry with id `wanted` in the directory at file offset `directory`."""
    named, numbered = struct.unpack_from("<HH", data, directory + 12)
    for i in range(named, named + numbered):
        at = directory + 16 + 8 * i
        if struct.unpack_from("<I", data, at)[0] == wanted:
            return at
    raise SystemExit("no entry %d" % wanted)


def main():
    sound, out = sys.argv[1], sys.argv[2]
    with open(sound, "rb") as f:
        data = bytearray(f.read())
    root, to_offset = resource_layout(data)
    type_entry = entry_for(data, root, 24)
    ids = root + (struct.unpack_from("<I", data, type_entry + 4)[0] & 0x7FFFFFFF)
    id_entry = entry_for(data, ids, 1)
    languages = root + (struct.unpack_from("<I", data, id_entry + 4)[0] & 0x7FFFFFFF)
    data_entry = root + struct.unpack_from("<I", data, languages + 16 + 4)[0]
    manifest = to_offset(struct.unpack_from("<I", data, data_entry)[0])

    def write(name, content):
        with open(os.path.join(out, name), "wb") as f:
            f.write(content)

    write("truncated.exe", data[:manifest + 16])
    looping = bytearray(data)
    struct.pack_into("<I", looping, type_entry + 4, 0x80000000)  # the types lead back to the root
    write("looping.exe", looping)
    self_looping = bytearray(data)
    struct.pack_into("<I", self_looping, id_entry + 4, 0x80000000 | (ids - root))  # id 1 leads to its own directory
    write("self-looping.exe", self_looping)
    past_end = bytearray(data)
    struct.pack_into("<II", past_end, data_entry, 0x7FFFFF00, 0x1000)
    write("past-the-end.exe", past_end)
    huge = bytearray(data)
    struct.pack_into("<I", huge, data_entry + 4, 0xFFFFFFF0)
    write("huge-size.exe", huge)
    write("not-a-program.exe", b"MZ is all this file has in common with a program.\r\n")


if __name__ == "__main__":
    main()
