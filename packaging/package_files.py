#!/usr/bin/env python3
"""Files of the Debian package that are made from files of the source tree:

    package_files.py icon QUORVY.ICO OUT.PNG   the program icon as a PNG for the desktop entry
    package_files.py gzip IN OUT.gz            gzip -9n: a man page or the changelog, with no
                                               time stamp so that the package is reproducible
"""
import gzip
import struct
import sys
import zlib


def ico_image(data):
    """The first (largest listed) image of an .ico file: (width, height, rows of RGBA bytes)."""
    _, kind, count = struct.unpack_from("<HHH", data, 0)
    if kind != 1 or count < 1:
        raise ValueError("not an icon file")
    width, height, _, _, _, _, size, offset = struct.unpack_from("<BBBBHHII", data, 6)
    image = data[offset:offset + size]
    if image.startswith(b"\x89PNG"):
        raise ValueError("PNG icons are not handled")
    header_size, w, h2, _, bpp = struct.unpack_from("<IiiHH", image, 0)
    width, height = w, h2 // 2
    colours = struct.unpack_from("<I", image, 32)[0] or (1 << bpp if bpp <= 8 else 0)
    palette = [image[header_size + 4 * i:header_size + 4 * i + 4] for i in range(colours)]
    pixels_at = header_size + 4 * colours
    stride = ((width * bpp + 31) // 32) * 4
    mask_at = pixels_at + stride * height
    mask_stride = ((width + 31) // 32) * 4
    rows = []
    for y in range(height):
        src = height - 1 - y  # rows are stored bottom-up
        row = bytearray()
        for x in range(width):
            if bpp <= 8:
                bit = x * bpp
                byte = image[pixels_at + src * stride + bit // 8]
                index = (byte >> (8 - bpp - bit % 8)) & ((1 << bpp) - 1)
                b, g, r, _ = palette[index]
            else:
                at = pixels_at + src * stride + x * (bpp // 8)
                b, g, r = image[at:at + 3]
            masked = image[mask_at + src * mask_stride + x // 8] >> (7 - x % 8) & 1
            row += bytes((r, g, b, 0 if masked else 255))
        rows.append(bytes(row))
    return width, height, rows


def png(width, height, rows):
    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body
                + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))
    raw = b"".join(b"\0" + row for row in rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main(argv):
    if len(argv) == 4 and argv[1] == "icon":
        with open(argv[2], "rb") as f:
            picture = png(*ico_image(f.read()))
        with open(argv[3], "wb") as f:
            f.write(picture)
    elif len(argv) == 4 and argv[1] == "gzip":
        with open(argv[2], "rb") as f:
            data = f.read()
        with open(argv[3], "wb") as raw:
            with gzip.GzipFile(filename="", mode="wb", fileobj=raw, compresslevel=9, mtime=0) as z:
                z.write(data)
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
