#!/usr/bin/env python3
# Makes the PNG and WebP pictures of the golden sites: PNG written here with zlib, WebP through
# the system's libwebp. The files are committed and the expected sites hold copies of them (or
# of their web-sized copies): run this only to remake them, then update the expected sites.
import ctypes
import os
import struct
import zlib

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "pictures")


def drawing(width, height, background, mark, clear_corner):
    """RGBA rows: the background, a mark in the lower right third, a clear top-left corner."""
    pixels = bytearray()
    for y in range(height):
        for x in range(width):
            if clear_corner and x < width // 4 and y < height // 4:
                pixels += bytes((0, 0, 0, 0))
            elif x >= width * 2 // 3 and y >= height * 2 // 3:
                pixels += bytes(mark) + b"\xff"
            else:
                pixels += bytes(background) + b"\xff"
    return bytes(pixels)


def png(width, height, rgba):
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    rows = b"".join(b"\0" + rgba[y * width * 4:(y + 1) * width * 4] for y in range(height))
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


webp = ctypes.CDLL("libwebp.so.7")
webp.WebPEncodeRGBA.restype = ctypes.c_size_t
webp.WebPEncodeLosslessRGBA.restype = ctypes.c_size_t


def webp_of(width, height, rgba, quality=None):
    out = ctypes.POINTER(ctypes.c_uint8)()
    if quality is None:
        size = webp.WebPEncodeLosslessRGBA(rgba, width, height, width * 4, ctypes.byref(out))
    else:
        size = webp.WebPEncodeRGBA(rgba, width, height, width * 4, ctypes.c_float(quality),
                                   ctypes.byref(out))
    data = ctypes.string_at(out, size)
    webp.WebPFree(out)
    return data


def write(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


write("Sunset.png", png(400, 300, drawing(400, 300, (240, 170, 90), (90, 40, 30), True)))
write("Stamp.png", png(64, 48, drawing(64, 48, (200, 220, 240), (20, 60, 120), False)))
write("Lake.webp", webp_of(400, 300, drawing(400, 300, (60, 120, 180), (30, 90, 40), False), 75))
write("Leaf.webp", webp_of(48, 48, drawing(48, 48, (120, 200, 90), (40, 90, 30), True)))
write("Linen.webp", webp_of(8, 8, drawing(8, 8, (245, 240, 228), (232, 224, 210), False)))
