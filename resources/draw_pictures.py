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


MAGENTA = (255, 0, 255, 255)  # transparent in the toolbar strips: the background shows there


def toolbar_background():
    """600 x 47: a paper-coloured band with a soft vertical shade and a gold rule."""
    c = Canvas(600, 47)
    for y in range(47):
        shade = 236 - abs(23 - y) // 2
        c.rect(0, y, 600, y + 1, (shade, shade - 6, shade - 26, 255))
    for x in range(0, 600, 40):                      # faint paper fibres
        c.rect(x + 7, 10 + (x // 40) % 20, x + 9, 11 + (x // 40) % 20, (214, 206, 180, 255))
    c.rect(0, 45, 600, 47, (190, 150, 70, 255))
    return c


def glyph(index, ink, paper):
    """The picture of toolbar button `index` on magenta, 40 x 40."""
    g = Canvas(40, 40, MAGENTA)
    if index == 0:    # すべて選択: a page with every line marked
        g.rect(9, 6, 31, 34, paper); g.frame(9, 6, 31, 34, ink)
        for y in range(10, 31, 4):
            g.rect(12, y, 28, y + 2, ink)
    elif index == 1:  # コピー: two pages
        g.rect(7, 5, 24, 27, paper); g.frame(7, 5, 24, 27, ink)
        g.rect(16, 13, 33, 35, paper); g.frame(16, 13, 33, 35, ink)
        for y in (18, 22, 26, 30):
            g.rect(19, y, 30, y + 1, ink)
    elif index == 2:  # 印刷: a printer
        g.rect(12, 6, 28, 15, paper); g.frame(12, 6, 28, 15, ink)
        g.rect(6, 15, 34, 28, ink)
        g.rect(12, 24, 28, 35, paper); g.frame(12, 24, 28, 35, ink)
        g.rect(29, 18, 32, 20, (90, 200, 90, 255))
    elif index in (3, 6):  # 上の巻へ / 次の巻へ: double arrows
        left = index == 3
        for dx in (0, 10):
            if left:
                g.polygon([(22 - dx, 9), (22 - dx, 31), (10 - dx + 2, 20)], ink)
            else:
                g.polygon([(18 + dx, 9), (18 + dx, 31), (30 + dx - 2, 20)], ink)
    elif index in (4, 5):  # 上の頁 / 次の頁: single arrows
        if index == 4:
            g.polygon([(26, 8), (26, 32), (12, 20)], ink)
        else:
            g.polygon([(14, 8), (14, 32), (28, 20)], ink)
    elif index in (7, 8):  # 上の検索結果 / 次の検索結果: a lens and an arrow
        for y in range(6, 23):
            for x in range(5, 22):
                d = (x - 13) ** 2 + (y - 14) ** 2
                if 30 <= d <= 56:
                    g.put(x, y, ink)
        g.polygon([(18, 20), (21, 17), (28, 24), (25, 27)], ink)
        if index == 7:
            g.polygon([(36, 26), (36, 36), (28, 31)], (200, 40, 30, 255))
        else:
            g.polygon([(28, 26), (28, 36), (36, 31)], (200, 40, 30, 255))
    elif index == 9:  # 情報: an "i" in a circle
        for y in range(40):
            for x in range(40):
                d = (x - 20) ** 2 + (y - 20) ** 2
                if d <= 196:
                    g.put(x, y, ink if d >= 150 else paper)
        g.rect(18, 11, 22, 15, ink)
        g.rect(18, 17, 22, 30, ink)
    return g


def toolbar_strip(state):
    """400 x 40: the ten toolbar pictures for one state (normal, disabled or hot)."""
    ink, paper = {
        "normal": ((60, 70, 110, 255), (255, 255, 250, 255)),
        "disabled": ((170, 170, 170, 255), (235, 235, 235, 255)),
        "hot": ((170, 40, 30, 255), (255, 250, 220, 255)),
    }[state]
    strip = Canvas(400, 40, MAGENTA)
    for i in range(10):
        strip.paste(glyph(i, ink, paper), 40 * i, 0)
    return strip


def slider_cursor():
    """32 x 32: the cursor while the page slider moves, a hand-held double arrow."""
    c = Canvas(32, 32)
    c.polygon([(2, 16), (10, 8), (10, 13), (22, 13), (22, 8), (30, 16), (22, 24), (22, 19),
               (10, 19), (10, 24)], (0, 0, 0, 255))
    c.polygon([(5, 16), (9, 12), (9, 14.5), (23, 14.5), (23, 12), (27, 16), (23, 20),
               (23, 17.5), (9, 17.5), (9, 20)], (255, 255, 255, 255))
    return c


def app_icon(size):
    """The program's icon for the desktop: a red clothbound book with gold bands."""
    c = Canvas(size, size)
    u = size / 16.0
    c.polygon([(3 * u, 2 * u), (14 * u, 2 * u), (14 * u, 15 * u), (3 * u, 15 * u)], (242, 236, 217, 255))
    c.polygon([(2 * u, 1 * u), (13 * u, 1 * u), (13 * u, 14 * u), (2 * u, 14 * u)], (163, 31, 36, 255))
    c.polygon([(2 * u, 1 * u), (4 * u, 1 * u), (4 * u, 14 * u), (2 * u, 14 * u)], (110, 18, 22, 255))
    for y in (3, 11.5):
        c.polygon([(4 * u, y * u), (13 * u, y * u), (13 * u, (y + 0.6) * u), (4 * u, (y + 0.6) * u)],
                  (217, 179, 91, 255))
    c.polygon([(6 * u, 5 * u), (11 * u, 5 * u), (11 * u, 10 * u), (6 * u, 10 * u)], (245, 215, 110, 255))
    c.polygon([(7 * u, 6 * u), (10 * u, 6 * u), (10 * u, 9 * u), (7 * u, 9 * u)], (163, 31, 36, 255))
    return c


def main():
    os.makedirs(OUT, exist_ok=True)
    closed_book().save("closed-book.png")
    open_book().save("open-book.png")
    page_button_strip(True).save("previous-page.png")
    page_button_strip(False).save("next-page.png")
    toolbar_background().save("toolbar-background.png")
    for state in ("normal", "disabled", "hot"):
        toolbar_strip(state).save("toolbar-" + state + ".png")
    slider_cursor().save("slider-cursor.png")
    app_icon(48).save("kolva-48.png")
    app_icon(128).save("kolva-128.png")


if __name__ == "__main__":
    main()
