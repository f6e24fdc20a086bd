#!/usr/bin/env python3
"""The file version of a Windows program, read from its version resource's fixed part.

pe_version.py read EXE            prints the version as a.b.c.d
pe_version.py stamp EXE A.B.C.D   rewrites the file and product versions in place
"""
import struct
import sys

SIGNATURE = struct.pack('<I', 0xFEEF04BD)


def fixed_info(data):
    at = data.find(SIGNATURE)
    # The fixed part follows the signature's key "VS_VERSION_INFO"; one hit is expected.
    if at < 0 or data.find(SIGNATURE, at + 4) >= 0:
        sys.exit('no single version resource found')
    return at


def main():
    command, path = sys.argv[1], sys.argv[2]
    with open(path, 'rb') as f:
        data = bytearray(f.read())
    at = fixed_info(data)
    if command == 'read':
        ms, ls = struct.unpack_from('<II', data, at + 8)
        print('%d.%d.%d.%d' % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF))
    elif command == 'stamp':
        parts = [int(p) for p in sys.argv[3].split('.')]
        ms, ls = parts[0] << 16 | parts[1], parts[2] << 16 | parts[3]
        struct.pack_into('<IIII', data, at + 8, ms, ls, ms, ls)
        with open(path, 'wb') as f:
            f.write(data)
    else:
        sys.exit(__doc__)


if __name__ == '__main__':
    main()
