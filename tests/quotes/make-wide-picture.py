# Writes a plain red PNG picture WIDTH x HEIGHT pixels (wider than ImageMagick's policy lets
# it make): the quote show test's picture that no texture of the device can hold.
import struct
import sys
import zlib

path, width, height = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


rows = b"".join(b"\0" + b"\xC0\x30\x30" * width for _ in range(height))
with open(path, "wb") as out:
    out.write(b"\x89PNG\r\n\x1a\n")
    out.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
    out.write(chunk(b"IDAT", zlib.compress(rows, 9)))
    out.write(chunk(b"IEND", b""))
