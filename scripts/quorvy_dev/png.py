"""A small PNG reader for the tests, with zlib alone: 8-bit, non-interlaced pictures such as
Cairo and Chromium write (grey, RGB, palette, grey with alpha, RGBA)."""
import struct
import zlib

SIGNATURE = b"\x89PNG\r\n\x1a\n"
CHANNELS = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}


def size(data):
    """(width, height) from the header of a PNG file's bytes, or None if it is no PNG."""
    if not data.startswith(SIGNATURE) or data[12:16] != b"IHDR":
        return None
    return struct.unpack(">II", data[16:24])


def _paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def _unfilter(raw, width, height, bpp):
    stride = width * bpp
    rows = []
    previous = bytearray(stride)
    at = 0
    for _ in range(height):
        kind = raw[at]
        line = bytearray(raw[at + 1:at + 1 + stride])
        at += 1 + stride
        for i in range(stride):
            left = line[i - bpp] if i >= bpp else 0
            up = previous[i]
            if kind == 1:
                line[i] = (line[i] + left) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + up) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + ((left + up) >> 1)) & 0xFF
            elif kind == 4:
                upleft = previous[i - bpp] if i >= bpp else 0
                line[i] = (line[i] + _paeth(left, up, upleft)) & 0xFF
            elif kind != 0:
                raise ValueError("bad PNG filter %d" % kind)
        rows.append(line)
        previous = line
    return rows


def _rgb(line, colour, palette):
    """The RGB bytes of one unfiltered row; alpha is dropped."""
    if colour == 2:
        return bytes(line)
    if colour == 6:
        return bytes(v for i, v in enumerate(line) if i % 4 != 3)
    if colour == 3:
        return b"".join(bytes(palette[v]) for v in line)
    return bytes(v for v in line[::CHANNELS[colour]] for _ in range(3))


def decode(data):
    """(width, height, rows) of a PNG file's bytes, each row the RGB bytes of its pixels."""
    if not data.startswith(SIGNATURE):
        raise ValueError("not a PNG file")
    at = len(SIGNATURE)
    idat = b""
    palette = None
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        at += 12 + length
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            if depth != 8 or interlace != 0 or colour not in CHANNELS:
                raise ValueError("unsupported PNG: depth %d colour %d interlace %d"
                                 % (depth, colour, interlace))
        elif kind == b"PLTE":
            palette = [tuple(body[i:i + 3]) for i in range(0, len(body), 3)]
        elif kind == b"IDAT":
            idat += body
        elif kind == b"IEND":
            break
    rows = _unfilter(zlib.decompress(idat), width, height, CHANNELS[colour])
    return width, height, [_rgb(line, colour, palette) for line in rows]


def ppm(data):
    """A PNG file's bytes as a binary PPM (P6) picture."""
    width, height, rows = decode(data)
    return b"P6\n%d %d\n255\n" % (width, height) + b"".join(rows)


class Picture:
    """The pixels of a PNG file as rows of (red, green, blue) triples."""

    def __init__(self, data):
        self.width, self.height, rows = decode(data)
        self.pixels = [[tuple(row[i:i + 3]) for i in range(0, len(row), 3)] for row in rows]

    def count(self, test):
        return sum(1 for row in self.pixels for p in row if test(p))


def read(path):
    with open(path, "rb") as f:
        return Picture(f.read())


def strong_blue(p):
    """A plot point: Quorvy draws valid samples in pure blue."""
    return p[2] > 200 and p[0] < 80 and p[1] < 80


def strong_red(p):
    """An undefined sample: pure red."""
    return p[0] > 200 and p[1] < 80 and p[2] < 80
