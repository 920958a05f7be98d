#!/usr/bin/env python3
"""Prints the dependent-load flags of a PE image's load configuration (the
16-bit field at offset 0x4C of a 64-bit one), in hexadecimal; 0x0 when the
image has no load configuration or one too short to hold them."""
import struct
import sys


def dependent_load_flags(data):
    pe = struct.unpack_from('<I', data, 0x3C)[0]
    sections = struct.unpack_from('<H', data, pe + 6)[0]
    optional_size = struct.unpack_from('<H', data, pe + 20)[0]
    optional = pe + 24
    magic = struct.unpack_from('<H', data, optional)[0]
    directories = optional + (112 if magic == 0x20B else 96)
    rva, size = struct.unpack_from('<II', data, directories + 10 * 8)
    if rva == 0 or size < 0x4E:
        return 0
    table = optional + optional_size
    for i in range(sections):
        virtual_size, address, raw_size, raw_offset = struct.unpack_from('<IIII', data, table + 40 * i + 8)
        if address <= rva < address + max(virtual_size, raw_size):
            offset = raw_offset + rva - address
            length = struct.unpack_from('<I', data, offset)[0]
            return struct.unpack_from('<H', data, offset + 0x4C)[0] if length >= 0x4E else 0
    return 0


with open(sys.argv[1], 'rb') as image:
    print(hex(dependent_load_flags(image.read())))
