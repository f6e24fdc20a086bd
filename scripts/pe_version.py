#!/usr/bin/env python3
"""The file version of a Windows program, read from its version resource's fixed part.

pe_version.py read EXE            prints the version as a.b.c.d
pe_version.py stamp EXE A.B.C.D   rewrites the file and product versions in place; the
                                  version's text must be as long as the one it replaces
pe_version.py next A.B.C.D        a higher version written with as many characters
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


def stamp_string(data, key, version):
    """The string table's value of `key`: after the key, its terminator and the padding."""
    name = (key + '\0').encode('utf-16-le')
    at = data.find(name)
    if at < 0:
        return
    at += len(name)
    while at % 4:
        at += 1
    end = data.find(b'\0\0', at)
    while (end - at) % 2:
        end = data.find(b'\0\0', end + 1)
    new = version.encode('utf-16-le')
    if end - at != len(new):
        sys.exit('%s is %s, which %s cannot replace in place'
                 % (key, data[at:end].decode('utf-16-le'), version))
    data[at:end] = new


def next_version(version):
    digits = list(version)
    for i in reversed(range(len(digits))):
        if digits[i].isdigit() and digits[i] != '9':
            digits[i] = str(int(digits[i]) + 1)
            return ''.join(digits)
    sys.exit('no higher version of the same length than ' + version)


def main():
    if sys.argv[1] == 'next':
        print(next_version(sys.argv[2]))
        return
    command, path = sys.argv[1], sys.argv[2]
    with open(path, 'rb') as f:
        data = bytearray(f.read())
    at = fixed_info(data)
    if command == 'read':
        ms, ls = struct.unpack_from('<II', data, at + 8)
        print('%d.%d.%d.%d' % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF))
    elif command == 'stamp':
        version = sys.argv[3]
        parts = [int(p) for p in version.split('.')]
        ms, ls = parts[0] << 16 | parts[1], parts[2] << 16 | parts[3]
        struct.pack_into('<IIII', data, at + 8, ms, ls, ms, ls)
        for key in ('FileVersion', 'ProductVersion'):
            stamp_string(data, key, version)
        with open(path, 'wb') as f:
            f.write(data)
    else:
        sys.exit(__doc__)


if __name__ == '__main__':
    main()
