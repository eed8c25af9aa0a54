#!/usr/bin/env python3
"""Draws the window's 16x16 command glyphs, the about dialog's picture and the desktop icon as PNG files.

The images are simple enough to be drawn from a few shapes, so they are generated instead of
being carried as opaque binaries: run this script after changing a shape and commit its output
(src/app/icons/*.png, and packaging/icons/hicolor/*/apps/orvane.png for the menu entry).
Only the Python standard library is needed.

    tools/make_icons.py [GLYPH_FOLDER [HICOLOR_FOLDER]]
"""
import math
import os
import struct
import sys
import zlib

TRANSPARENT = (0, 0, 0, 0)
BLACK = (0, 0, 0, 255)
WHITE = (255, 255, 255, 255)
GREY = (160, 160, 160, 255)
DARKGREY = (90, 90, 90, 255)
LIGHTGREY = (215, 215, 215, 255)
GREEN = (20, 150, 40, 255)
RED = (210, 30, 30, 255)
BLUE = (30, 80, 200, 255)
NAVY = (20, 40, 120, 255)
GOLD = (240, 190, 20, 255)
BROWN = (140, 90, 40, 255)
YELLOW = (250, 220, 110, 255)
SKY = (120, 180, 240, 255)


class Canvas:
    def __init__(self, width, height):
        self.w, self.h = width, height
        self.px = [[TRANSPARENT] * width for _ in range(height)]

    def put(self, x, y, colour):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = colour

    def rect(self, x0, y0, x1, y1, colour):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.put(x, y, colour)

    def frame(self, x0, y0, x1, y1, colour):
        for x in range(x0, x1 + 1):
            self.put(x, y0, colour)
            self.put(x, y1, colour)
        for y in range(y0, y1 + 1):
            self.put(x0, y, colour)
            self.put(x1, y, colour)

    def line(self, x0, y0, x1, y1, colour, width=1):
        steps = max(abs(x1 - x0), abs(y1 - y0), 1)
        for i in range(steps + 1):
            x = round(x0 + (x1 - x0) * i / steps)
            y = round(y0 + (y1 - y0) * i / steps)
            for dx in range(width):
                for dy in range(width):
                    self.put(x + dx, y + dy, colour)

    def disc(self, cx, cy, r, colour):
        for y in range(self.h):
            for x in range(self.w):
                if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                    self.put(x, y, colour)

    def ring(self, cx, cy, r, colour, thickness=1.2, start=0.0, end=360.0):
        for y in range(self.h):
            for x in range(self.w):
                d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
                if abs(d - r) <= thickness / 2:
                    angle = math.degrees(math.atan2(cy - (y + 0.5), x + 0.5 - cx)) % 360
                    if start <= angle <= end:
                        self.put(x, y, colour)

    def polygon(self, points, colour):
        for y in range(self.h):
            for x in range(self.w):
                if inside(points, x + 0.5, y + 0.5):
                    self.put(x, y, colour)

    def png(self):
        raw = b"".join(b"\0" + b"".join(struct.pack("4B", *p) for p in row) for row in self.px)

        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

        header = struct.pack(">IIBBBBB", self.w, self.h, 8, 6, 0, 0, 0)
        return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9))
                + chunk(b"IEND", b""))


def inside(points, x, y):
    result = False
    j = len(points) - 1
    for i, (xi, yi) in enumerate(points):
        xj, yj = points[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            result = not result
        j = i
    return result


def arrow_right(c, colour, x0=2, y0=4, x1=13, y1=11):
    mid = (y0 + y1) // 2
    c.rect(x0, mid - 2, x1 - 5, mid + 2, colour)
    c.polygon([(x1 - 6, y0 - 1), (x1 + 1.5, mid + 0.5), (x1 - 6, y1 + 2)], colour)


def printer(c):
    c.rect(4, 1, 11, 6, WHITE)
    c.frame(4, 1, 11, 6, DARKGREY)
    c.rect(1, 6, 14, 11, GREY)
    c.frame(1, 6, 14, 11, DARKGREY)
    c.put(12, 8, GREEN)
    c.rect(4, 10, 11, 14, WHITE)
    c.frame(4, 10, 11, 14, DARKGREY)
    c.line(5, 12, 10, 12, GREY)


def door(c):
    c.rect(3, 1, 12, 14, BROWN)
    c.frame(3, 1, 12, 14, BLACK)
    c.polygon([(8, 1), (13, 3), (13, 15), (8, 15)], (90, 55, 25, 255))
    c.rect(4, 2, 7, 13, (30, 30, 30, 255))
    c.put(9, 8, GOLD)


def checklist(c, checked):
    # Three entries, each a box and a line of text. At 1:1 the two commands differ by their boxes:
    # solid green with a white tick against hollow white, not by ticks of a pixel or two.
    dark_green = (0, 100, 20, 255)
    for y in (1, 6, 11):
        if checked:
            c.rect(0, y, 5, y + 3, GREEN)
            c.frame(0, y, 5, y + 3, dark_green)
            c.put(1, y + 1, WHITE)
            c.put(2, y + 2, WHITE)
            c.put(3, y + 1, WHITE)
            c.put(4, y, WHITE)
        else:
            c.rect(0, y, 5, y + 3, WHITE)
            c.frame(0, y, 5, y + 3, DARKGREY)
        c.rect(7, y + 1, 15, y + 2, BLACK if checked else DARKGREY)


def refresh_page(c):
    c.polygon([(2, 1), (10, 1), (13, 4), (13, 14), (2, 14)], WHITE)
    c.frame(2, 1, 13, 14, DARKGREY)
    c.ring(8, 8, 4, GREEN, 1.6, 20, 160)
    c.ring(8, 8, 4, GREEN, 1.6, 200, 340)
    c.polygon([(11, 5), (14, 6), (11, 9)], GREEN)
    c.polygon([(5, 7), (2, 10), (5, 11)], GREEN)


def floppy(c):
    c.rect(1, 1, 14, 14, NAVY)
    c.rect(4, 1, 11, 6, WHITE)
    c.rect(9, 2, 10, 5, NAVY)
    c.rect(3, 9, 12, 14, LIGHTGREY)


def clipboard(c):
    c.rect(2, 2, 13, 15, BROWN)
    c.rect(4, 4, 11, 14, WHITE)
    c.rect(5, 1, 10, 3, GREY)
    for y in (7, 9, 11):
        c.line(5, y, 10, y, DARKGREY)


def magnifier(c):
    c.disc(6, 6, 4.5, SKY)
    c.ring(6, 6, 4.5, DARKGREY, 1.4)
    c.line(9, 9, 13, 13, BROWN, 2)


def red_cross(c):
    c.line(2, 2, 12, 12, RED, 3)
    c.line(12, 2, 2, 12, RED, 3)


def folder_arrow(c):
    c.polygon([(1, 4), (6, 4), (7, 5), (14, 5), (14, 14), (1, 14)], YELLOW)
    c.frame(1, 5, 14, 14, BROWN)
    arrow_right(c, GREEN, 5, 6, 14, 12)


def star(c):
    points = []
    for i in range(10):
        r = 7.2 if i % 2 == 0 else 3.0
        a = math.radians(90 + 36 * i)
        points.append((8 + r * math.cos(a), 8.5 - r * math.sin(a)))
    c.polygon(points, GOLD)


def info(c):
    c.disc(8, 8, 7, BLUE)
    c.rect(7, 3, 8, 4, WHITE)
    c.rect(7, 6, 8, 12, WHITE)
    c.rect(6, 12, 9, 12, WHITE)


def globe(c):
    c.disc(8, 8, 7, SKY)
    c.polygon([(4, 4), (8, 3), (9, 6), (6, 9), (3, 8)], GREEN)
    c.polygon([(9, 9), (12, 8), (13, 11), (10, 13)], GREEN)
    c.ring(8, 8, 7, NAVY, 1.0)


def program_picture():
    """The about dialog's picture: a table sheet with a report arrow, drawn at 113x99."""
    c = Canvas(113, 99)
    c.rect(6, 6, 70, 92, WHITE)
    c.frame(6, 6, 70, 92, DARKGREY)
    c.rect(6, 6, 70, 18, NAVY)
    for y in range(26, 90, 10):
        c.frame(12, y - 3, 17, y + 2, DARKGREY)
        c.line(13, y, 14, y + 1, GREEN)
        c.line(14, y + 1, 17, y - 3, GREEN)
        c.line(22, y, 62, y, DARKGREY)
    c.polygon([(72, 40), (92, 40), (92, 30), (108, 50), (92, 70), (92, 60), (72, 60)], GREEN)
    return c


# The sizes desktops look for in the hicolor theme; each is drawn at its size, not scaled down.
APP_ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)


def app_icon(size):
    """The menu entry's icon: the about picture's sheet and arrow, fitted into a square.

    Shapes are laid out on a 32-unit grid and drawn at each size, with strokes never thinner than a pixel.
    """
    c = Canvas(size, size)
    unit = size / 32.0
    stroke = max(1, round(unit))

    def px(v):
        return int(round(v * unit))

    def box(x0, y0, x1, y1, colour):
        c.rect(px(x0), px(y0), max(px(x0), px(x1) - 1), max(px(y0), px(y1) - 1), colour)

    def outline(x0, y0, x1, y1, colour):
        box(x0, y0, x1, y0 + stroke / unit, colour)
        box(x0, y1 - stroke / unit, x1, y1, colour)
        box(x0, y0, x0 + stroke / unit, y1, colour)
        box(x1 - stroke / unit, y0, x1, y1, colour)

    box(2, 2, 23, 30, WHITE)
    box(2, 2, 23, 8, NAVY)
    outline(2, 2, 23, 30, DARKGREY)
    for y in (11, 16, 21, 26):
        box(5, y - 1, 8, y + 2, GREEN)
        box(10, y, 20, y + 1, DARKGREY)
    arrow = [(15, 13), (23, 13), (23, 8), (31, 17), (23, 26), (23, 21), (15, 21)]
    c.polygon([(x * unit, y * unit) for x, y in arrow], GREEN)
    return c


GLYPHS = {
    "print": printer,
    "exit": door,
    "markall": lambda c: checklist(c, True),
    "markno": lambda c: checklist(c, False),
    "output": lambda c: arrow_right(c, GREEN),
    "refresh": refresh_page,
    "save": floppy,
    "clipboard": clipboard,
    "find": magnifier,
    "cancel": red_cross,
    "open": folder_arrow,
    "star": star,
    "info": info,
    "globe": globe,
}


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "src", "app", "icons")
    hicolor = sys.argv[2] if len(sys.argv) > 2 else os.path.join(root, "packaging", "icons", "hicolor")
    os.makedirs(out, exist_ok=True)
    for name, draw in GLYPHS.items():
        canvas = Canvas(16, 16)
        draw(canvas)
        with open(os.path.join(out, name + ".png"), "wb") as f:
            f.write(canvas.png())
    with open(os.path.join(out, "orvane.png"), "wb") as f:
        f.write(program_picture().png())
    for size in APP_ICON_SIZES:
        folder = os.path.join(hicolor, "%dx%d" % (size, size), "apps")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "orvane.png"), "wb") as f:
            f.write(app_icon(size).png())


if __name__ == "__main__":
    main()
