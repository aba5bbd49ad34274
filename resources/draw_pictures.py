#!/usr/bin/env python3
"""Draws the reader's pictures into resources/pictures/ as PNG files.

The pictures are simple shapes drawn pixel by pixel, so that this script needs nothing beyond
Python's standard library. Run it again after changing a picture: python3 draw_pictures.py
"""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "pictures")

TRANSPARENT = (0, 0, 0, 0)


class Canvas:
    def __init__(self, width, height, fill=TRANSPARENT):
        self.width, self.height = width, height
        self.pixels = [[fill] * width for _ in range(height)]

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = colour

    def rect(self, x0, y0, x1, y1, colour):
        """Fills [x0, x1) x [y0, y1)."""
        for y in range(y0, y1):
            for x in range(x0, x1):
                self.put(x, y, colour)

    def frame(self, x0, y0, x1, y1, colour):
        for x in range(x0, x1):
            self.put(x, y0, colour)
            self.put(x, y1 - 1, colour)
        for y in range(y0, y1):
            self.put(x0, y, colour)
            self.put(x1 - 1, y, colour)

    def polygon(self, points, colour):
        """Fills a polygon by testing every pixel centre."""
        xs = [p[0] for p in points]
        ys = [p[1] for p in points]
        for y in range(int(min(ys)), int(max(ys)) + 1):
            for x in range(int(min(xs)), int(max(xs)) + 1):
                if inside(points, x + 0.5, y + 0.5):
                    self.put(x, y, colour)

    def paste(self, other, dx, dy):
        for y in range(other.height):
            for x in range(other.width):
                if other.pixels[y][x][3]:
                    self.put(x + dx, y + dy, other.pixels[y][x])

    def save(self, name):
        raw = b"".join(b"\x00" + b"".join(struct.pack("4B", *p) for p in row) for row in self.pixels)

        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

        png = b"\x89PNG\r\n\x1a\n"
        png += chunk(b"IHDR", struct.pack(">IIBBBBB", self.width, self.height, 8, 6, 0, 0, 0))
        png += chunk(b"IDAT", zlib.compress(raw, 9))
        png += chunk(b"IEND", b"")
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(png)


def inside(points, x, y):
    result = False
    j = len(points) - 1
    for i in range(len(points)):
        (xi, yi), (xj, yj) = points[i], points[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            result = not result
        j = i
    return result


def closed_book():
    """A closed green book, 20 x 20: tree items that are not selected."""
    c = Canvas(20, 20)
    c.rect(4, 3, 17, 18, (242, 236, 217, 255))      # page edges
    c.rect(3, 2, 16, 17, (46, 125, 64, 255))        # cover
    c.rect(3, 2, 5, 17, (28, 84, 42, 255))          # spine
    c.frame(3, 2, 16, 17, (20, 60, 30, 255))
    c.rect(7, 6, 14, 8, (245, 215, 110, 255))       # title label
    return c


def open_book():
    """An open book, 20 x 20: the selected tree item."""
    c = Canvas(20, 20)
    c.polygon([(1, 5), (9, 4), (10, 6), (10, 17), (9, 16), (1, 17)], (70, 110, 170, 255))
    c.polygon([(19, 5), (11, 4), (10, 6), (10, 17), (11, 16), (19, 17)], (70, 110, 170, 255))
    c.polygon([(2, 5), (9, 4.5), (9.5, 15.5), (2, 15.5)], (250, 248, 240, 255))
    c.polygon([(18, 5), (11, 4.5), (10.5, 15.5), (18, 15.5)], (250, 248, 240, 255))
    for y in (7, 9, 11, 13):                       # lines of text
        c.rect(3, y, 8, y + 1, (150, 150, 150, 255))
        c.rect(12, y, 17, y + 1, (150, 150, 150, 255))
    return c


def page_button_strip(pointing_left):
    """Four 32 x 32 pictures side by side: normal, pressed, hovered, disabled."""
    strip = Canvas(128, 32)
    looks = [
        ((236, 233, 216, 255), (120, 120, 120, 255), (40, 70, 140, 255), 0),
        ((200, 196, 180, 255), (90, 90, 90, 255), (20, 45, 110, 255), 1),
        ((255, 246, 205, 255), (200, 140, 40, 255), (190, 60, 30, 255), 0),
        ((236, 233, 216, 255), (190, 190, 190, 255), (175, 175, 175, 255), 0),
    ]
    for i, (face, edge, arrow, shift) in enumerate(looks):
        b = Canvas(32, 32)
        b.rect(2, 2, 30, 30, face)
        b.frame(2, 2, 30, 30, edge)
        s = shift
        if pointing_left:
            b.polygon([(20 + s, 8 + s), (20 + s, 24 + s), (10 + s, 16 + s)], arrow)
        else:
            b.polygon([(12 + s, 8 + s), (12 + s, 24 + s), (22 + s, 16 + s)], arrow)
        strip.paste(b, 32 * i, 0)
    return strip


def main():
    os.makedirs(OUT, exist_ok=True)
    closed_book().save("closed-book.png")
    open_book().save("open-book.png")
    page_button_strip(True).save("previous-page.png")
    page_button_strip(False).save("next-page.png")


if __name__ == "__main__":
    main()
