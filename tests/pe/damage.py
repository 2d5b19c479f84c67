#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Makes the damaged executable fixtures from a sound one that carries a manifest (type 24, id 1):
cut off inside its resources, a resource directory that leads back into itself, a data entry
that points past the end of the file, and a file that is no program at all. A reader must find no
manifest in any of them, and must neither loop nor read out of bounds on the way.

It also makes copies laid out in ways the loader accepts, where a reader must find what the loader
finds: the manifest in all of them but the one where a later section is mapped over the resources.

usage: damage.py SOUND.exe OUTPUT_DIRECTORY
"""
import os
import struct
import sys


def headers(data):
    """The file offset of the resource data directory entry, and of each section header."""
    pe, = struct.unpack_from("<I", data, 0x3C)
    sections, optional_size = struct.unpack_from("<H", data, pe + 6)[0], struct.unpack_from("<H", data, pe + 20)[0]
    magic, = struct.unpack_from("<H", data, pe + 24)
    resource_directory = pe + 24 + (96 if magic == 0x10B else 112) + 2 * 8
    table = pe + 24 + optional_size
    return resource_directory, [table + 40 * i for i in range(sections)]


def section(data, header):
    """VirtualSize, VirtualAddress, SizeOfRawData and PointerToRawData of the section at `header`."""
    return struct.unpack_from("<IIII", data, header + 8)


def resource_layout(data):
    """The file offset of the resource directory, a function from an RVA to a file offset, and the
    header of the section that holds the resources."""
    resource_directory, section_headers = headers(data)
    resource_rva, = struct.unpack_from("<I", data, resource_directory)

    def holder(rva):
        for header in section_headers:
            _, virtual_address, raw_size, _ = section(data, header)
            if virtual_address <= rva < virtual_address + raw_size:
                return header
        raise SystemExit("RVA %#x lies in no section" % rva)

    def to_offset(rva):
        _, virtual_address, _, raw_offset = section(data, holder(rva))
        return raw_offset + rva - virtual_address

    return to_offset(resource_rva), to_offset, holder(resource_rva)


def padded(data, size):
    """`data` with zeros appended up to `size` bytes, past everything the headers describe."""
    return data + bytes(max(0, size - len(data)))


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
    root, to_offset, resources = resource_layout(data)
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

    resource_directory, section_headers = headers(data)
    _, resource_rva, resource_raw_size, resource_raw_offset = section(data, resources)
    # The section before the resources keeps its size in memory, but its raw data reaches on over
    # the resources' addresses: the loader maps no more of it than its size in memory.
    before = max((h for h in section_headers if section(data, h)[1] < resource_rva and section(data, h)[3]),
                 key=lambda h: section(data, h)[1])
    _, before_rva, _, before_raw_offset = section(data, before)
    long_raw = bytearray(data)
    struct.pack_into("<I", long_raw, before + 16, resource_rva - before_rva + resource_raw_size)
    write("long-raw-data.exe", padded(long_raw, before_raw_offset + resource_rva - before_rva + resource_raw_size))
    # The resource directory's size in the headers covers the root directory's header alone.
    short_directory = bytearray(data)
    struct.pack_into("<I", short_directory, resource_directory + 4, 16)
    write("short-directory-size.exe", short_directory)
    # The resources' raw data starts 16 bytes into a sector: the loader reads whole sectors.
    unaligned = bytearray(data)
    struct.pack_into("<I", unaligned, resources + 20, resource_raw_offset + 16)
    write("unaligned-raw-pointer.exe", unaligned)
    # The resources' size in memory is smaller than their tree: the loader maps whole pages.
    short_virtual = bytearray(data)
    struct.pack_into("<I", short_virtual, resources + 8, 16)
    write("short-virtual-size.exe", short_virtual)
    # No size in memory at all: the raw data's size stands for it.
    zero_virtual = bytearray(data)
    struct.pack_into("<I", zero_virtual, resources + 8, 0)
    write("zero-virtual-size.exe", zero_virtual)
    # The last section moves over the resources with a sector of zeros: sections are mapped in
    # the order of the table, so the zeros are what the loader finds there.
    if section_headers[-1] == resources:
        raise SystemExit("no section follows the resources in the table")
    overlaid = bytearray(padded(data, (len(data) + 0x1FF) // 0x200 * 0x200))
    struct.pack_into("<IIII", overlaid, section_headers[-1] + 8, 0x200, resource_rva, 0x200, len(overlaid))
    write("overlaid-resources.exe", padded(overlaid, len(overlaid) + 0x200))


if __name__ == "__main__":
    main()
