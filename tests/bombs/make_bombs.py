#!/usr/bin/python3
"""Writes the decompression bombs of tests/bombs: small files (each under
1 MB) that declare pictures as large as the default pixel limit allows, or a
little larger, one or more per reader. pixtrel-cli must convert or refuse each
without more than 1 GB of memory or 10 s of work (tests/cli/bomb_test.cpp).

Run from anywhere: /usr/bin/python3 tests/bombs/make_bombs.py (Debian's
python3-pil).
The files are kept in the repository, so the tests do not need Python."""

import io
import os
import struct
import zlib

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
SIDE = 13000  # 169,000,000 pixels: under the default limit of 178,956,970
LIMIT = 1000 * 1000 - 1


def write(name, data):
    data = bytes(data)[:LIMIT]
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)
    print(f"{name:28} {len(data):8} bytes")


def zeros_deflated(row_bytes, rows, filter_byte=b"\x00"):
    z = zlib.compressobj(9)
    row = filter_byte + bytes(row_bytes)
    out = [z.compress(row) for _ in range(rows)]
    out.append(z.flush())
    return b"".join(out)


def png_chunk(kind, data):
    crc = zlib.crc32(kind + data) & 0xFFFFFFFF
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", crc)


def png(width, height, color_type=2, depth=8):
    channels = {0: 1, 2: 3, 4: 2, 6: 4}[color_type]
    data = zeros_deflated(width * channels * depth // 8, height)
    return (b"\x89PNG\r\n\x1a\n" +
            png_chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, depth, color_type, 0, 0, 0)) +
            png_chunk(b"IDAT", data) + png_chunk(b"IEND", b""))


def bmp_rle8():
    rows = []
    for _ in range(2000):
        row = b"".join(b"\xff\x07" for _ in range(SIDE // 255)) + bytes([SIDE % 255, 7]) + b"\x00\x00"
        rows.append(row)
    bits = b"".join(rows) + b"\x00\x01"
    palette = b"".join(bytes((i, i, i, 0)) for i in range(256))
    offset = 14 + 40 + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(bits), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, SIDE, SIDE, 1, 8, 1, len(bits), 2835, 2835, 256, 0)
    return header + info + palette + bits


def tiff_header_only(width, height, bits, samples, photometric):
    # One uncompressed strip that the file does not hold.
    entries = [(256, 4, 1, width), (257, 4, 1, height), (258, 3, 1, bits), (259, 3, 1, 1),
               (262, 3, 1, photometric), (273, 4, 1, 8 + 2 + 12 * 9 + 4), (277, 3, 1, samples),
               (278, 4, 1, height), (279, 4, 1, width * height * samples * bits // 8)]
    ifd = struct.pack("<H", len(entries))
    for tag, kind, count, value in entries:
        if kind == 3:
            ifd += struct.pack("<HHIHH", tag, kind, count, value, 0)
        else:
            ifd += struct.pack("<HHII", tag, kind, count, value & 0xFFFFFFFF)
    ifd += struct.pack("<I", 0)
    return b"II*\x00" + struct.pack("<I", 8) + ifd + bytes(4096)


def targa_rle():
    header = struct.pack("<BBBHHBHHHHBB", 0, 0, 10, 0, 0, 0, 0, 0, SIDE, SIDE, 24, 0x20)
    return header + b"\xff\x10\x20\x30" * (LIMIT // 4)


def pcx_rle():
    header = struct.pack("<BBBBHHHHHH", 10, 5, 1, 8, 0, 0, SIDE - 1, SIDE - 1, 72, 72)
    header += bytes(48) + struct.pack("<BBHH", 0, 3, SIDE, 1)
    header += bytes(128 - len(header))
    return header + b"\xff\x00" * (LIMIT // 2)


def sgi_rle():
    zsize = 3
    header = struct.pack(">hbbHHHHii4s80sI", 474, 1, 1, 3, SIDE, SIDE, zsize, 0, 255, b"", b"bomb", 0)
    header += bytes(512 - len(header))
    # Every row of every channel points at the same run-length row.
    runs = []
    left = SIDE
    while left:
        n = min(127, left)
        runs.append(bytes((n, 0x40)))
        left -= n
    row = b"".join(runs) + b"\x00"
    tables = SIDE * zsize
    row_offset = 512 + tables * 8
    starts = struct.pack(">" + "I" * tables, *([row_offset] * tables))
    lengths = struct.pack(">" + "I" * tables, *([len(row)] * tables))
    return header + starts + lengths + row


def psd_rle():
    header = b"8BPS" + struct.pack(">H6sHIIHH", 1, bytes(6), 3, SIDE, SIDE, 8, 3)
    header += struct.pack(">III", 0, 0, 0) + struct.pack(">H", 1)
    packets = SIDE // 128
    row = b"\x81\x00" * packets + bytes((256 - (SIDE % 128 - 1), 0))
    counts = struct.pack(">" + "H" * (SIDE * 3), *([len(row)] * (SIDE * 3)))
    return header + counts + row * ((LIMIT - len(header) - len(counts)) // len(row) + 1)


def wmf_placeable():
    placeable = struct.pack("<IHhhhhHI", 0x9AC6CDD7, 0, 0, 0, SIDE, SIDE, 96, 0)
    checksum = 0
    for (word,) in struct.iter_unpack("<H", placeable[:20]):
        checksum ^= word
    placeable += struct.pack("<H", checksum)
    records = b""
    # SetWindowExt, then a rectangle over the whole picture and the end.
    records += struct.pack("<IHhh", 5, 0x020C, SIDE, SIDE)
    records += struct.pack("<IHhhhh", 7, 0x041B, SIDE, SIDE, 0, 0)
    records += struct.pack("<IH", 3, 0)
    size_words = (18 + len(records)) // 2
    header = struct.pack("<HHHIHIH", 1, 9, 0x300, size_words, 0, 7, 0)
    return placeable + header + records


def emf_frame():
    # Bounds and frame of SIDE pixels at 96 dpi (frame in 0.01 mm).
    frame_mm = SIDE * 2540 // 96
    eof = struct.pack("<IIIII", 14, 20, 0, 0x10, 20)
    rect = struct.pack("<IIiiii", 43, 24, 0, 0, SIDE, SIDE)
    header_size = 108
    total = header_size + len(rect) + len(eof)
    header = struct.pack("<II4i4iIIIIHHIII2i2i", 1, header_size, 0, 0, SIDE - 1, SIDE - 1,
                         0, 0, frame_mm, frame_mm, 0x464D4520, 0x10000, total, 3, 1, 0, 0, 0, 0,
                         1024, 768, 320, 240)
    header += struct.pack("<III", 0, 0, 0)
    header = header[:header_size].ljust(header_size, b"\x00")
    return header + rect + eof


def eps_tiff_preview():
    tiff = tiff_header_only(SIDE, SIDE, 16, 4, 2)
    postscript = b"%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 100 100\n"
    header_size = 30
    header = struct.pack("<IIIIIIIH", 0xC6D3D0C5, header_size, len(postscript), 0, 0,
                         header_size + len(postscript), len(tiff), 0xFFFF)
    return header + postscript + tiff


def ico_png(png_bytes):
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", 0, 0, 0, 0, 1, 32, len(png_bytes), 22)
    return directory + png_bytes


def jpeg(mode, size, **options):
    out = io.BytesIO()
    Image.new(mode, size, 128 if mode == "L" else (128, 64, 32)).save(out, "JPEG", **options)
    return out.getvalue()


def gif():
    out = io.BytesIO()
    Image.new("P", (SIDE, SIDE), 0).save(out, "GIF")
    return out.getvalue()


def main():
    png_bytes = png(SIDE, SIDE)
    write("deflate-zeros.png", png_bytes)
    write("rle8-runs.bmp", bmp_rle8())
    write("declared.ppm", b"P6\n%d %d\n255\n" % (SIDE, SIDE) + bytes(4096))
    write("uncompressed-truncated.tif", tiff_header_only(SIDE, SIDE, 8, 3, 2))
    write("rle-runs.tga", targa_rle())
    write("rle-runs.pcx", pcx_rle())
    write("rle-shared-rows.sgi", sgi_rle())
    write("rle-runs.psd", psd_rle())
    write("placeable-frame.wmf", wmf_placeable())
    write("frame.emf", emf_frame())
    write("rgba16-preview.eps", eps_tiff_preview())
    write("png-entry.ico", ico_png(png_bytes))
    write("lzw-zeros.gif", gif())
    write("baseline-flat.jpg", jpeg("RGB", (SIDE, SIDE), quality=50))
    write("progressive-grey-flat.jpg", jpeg("L", (10000, 10000), quality=50, progressive=True))
    write("progressive-colour-flat.jpg", jpeg("RGB", (12000, 12000), quality=50, progressive=True))


if __name__ == "__main__":
    main()
