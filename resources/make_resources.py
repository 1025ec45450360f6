#!/usr/bin/env python3
"""Draws the terminal's icons and synthesises its sounds (standard library only).

Run from anywhere; writes into the folder holding this script:
    python3 resources/make_resources.py
"""
import math
import os
import struct
import wave
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
SIZE = 32


class Canvas:
    def __init__(self, size=SIZE):
        self.size = size
        self.px = [[(0, 0, 0, 0)] * size for _ in range(size)]

    def put(self, x, y, rgba):
        if 0 <= x < self.size and 0 <= y < self.size:
            self.px[y][x] = rgba

    def rect(self, x0, y0, x1, y1, rgba):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.put(x, y, rgba)

    def circle(self, cx, cy, r, rgba):
        for y in range(self.size):
            for x in range(self.size):
                if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                    self.put(x, y, rgba)

    def line(self, x0, y0, x1, y1, rgba, width=2):
        steps = max(abs(x1 - x0), abs(y1 - y0), 1) * 2
        for i in range(steps + 1):
            t = i / steps
            x = x0 + (x1 - x0) * t
            y = y0 + (y1 - y0) * t
            self.rect(int(x - width / 2 + 0.5), int(y - width / 2 + 0.5),
                      int(x + width / 2 - 0.5), int(y + width / 2 - 0.5), rgba)

    def triangle(self, pts, rgba):
        (ax, ay), (bx, by), (cx, cy) = pts
        def side(px, py, qx, qy, rx, ry):
            return (px - rx) * (qy - ry) - (qx - rx) * (py - ry)
        for y in range(self.size):
            for x in range(self.size):
                d1 = side(x, y, ax, ay, bx, by)
                d2 = side(x, y, bx, by, cx, cy)
                d3 = side(x, y, cx, cy, ax, ay)
                neg = d1 < 0 or d2 < 0 or d3 < 0
                pos = d1 > 0 or d2 > 0 or d3 > 0
                if not (neg and pos):
                    self.put(x, y, rgba)

    def png(self):
        raw = b"".join(b"\x00" + b"".join(bytes(p) for p in row) for row in self.px)
        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
        header = struct.pack(">IIBBBBB", self.size, self.size, 8, 6, 0, 0, 0)
        return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
                + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def ico(png, size=SIZE):
    # One image, stored as PNG: read by Qt's ICO plug-in and by Windows alike.
    header = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(png), 6 + 16)
    return header + entry + png


BLUE = (30, 90, 200, 255)
RED = (210, 40, 40, 255)
GREEN = (30, 160, 70, 255)
GREY = (90, 90, 90, 255)
GOLD = (230, 170, 30, 255)
WHITE = (255, 255, 255, 255)


def user():
    c = Canvas()
    c.circle(16, 10, 6, BLUE)
    c.circle(16, 30, 12, BLUE)
    return c


def brand():
    c = Canvas()
    c.circle(16, 16, 15, (20, 40, 90, 255))
    c.triangle([(6, 24), (16, 6), (26, 24)], GOLD)
    c.triangle([(11, 24), (16, 14), (21, 24)], (20, 40, 90, 255))
    return c


def arrow(up, colour):
    c = Canvas()
    if up:
        c.triangle([(4, 16), (16, 3), (28, 16)], colour)
        c.rect(11, 16, 20, 28, colour)
    else:
        c.triangle([(4, 16), (16, 29), (28, 16)], colour)
        c.rect(11, 4, 20, 16, colour)
    return c


def pending():
    c = Canvas()
    c.circle(16, 16, 13, GOLD)
    c.circle(16, 16, 10, WHITE)
    c.line(16, 16, 16, 8, GREY)
    c.line(16, 16, 22, 16, GREY)
    return c


def plug(connected):
    c = Canvas()
    colour = GREEN if connected else RED
    c.rect(4, 12, 12, 20, colour)
    c.rect(20, 12, 28, 20, colour)
    if connected:
        c.rect(12, 15, 20, 17, colour)
    else:
        c.line(13, 10, 19, 22, colour)
    return c


def new_order():
    c = Canvas()
    c.rect(6, 4, 24, 28, GREY)
    c.rect(8, 6, 22, 26, WHITE)
    c.rect(18, 18, 28, 20, GREEN)
    c.rect(22, 14, 24, 24, GREEN)
    return c


def cursor():
    c = Canvas()
    c.triangle([(8, 4), (8, 26), (24, 18)], GREY)
    c.line(14, 20, 20, 28, GREY, 3)
    return c


def crosshair():
    c = Canvas()
    c.rect(15, 3, 16, 28, GREY)
    c.rect(3, 15, 28, 16, GREY)
    return c


def hline():
    c = Canvas()
    c.rect(2, 15, 29, 17, BLUE)
    return c


def vline():
    c = Canvas()
    c.rect(15, 2, 17, 29, BLUE)
    return c


def trendline():
    c = Canvas()
    c.line(4, 26, 28, 6, BLUE)
    return c


def fibonacci():
    c = Canvas()
    for y, colour in ((4, RED), (11, GOLD), (17, GREEN), (23, BLUE), (28, GREY)):
        c.rect(3, y, 28, y + 1, colour)
    return c


def bars():
    c = Canvas()
    for x, lo, hi in ((6, 10, 26), (16, 4, 20), (26, 12, 28)):
        c.rect(x, lo, x + 1, hi, GREY)
        c.rect(x - 3, lo + 4, x, lo + 5, GREY)
        c.rect(x + 1, hi - 5, x + 4, hi - 4, GREY)
    return c


def candles():
    c = Canvas()
    c.rect(8, 4, 9, 28, GREEN)
    c.rect(5, 9, 12, 22, GREEN)
    c.rect(22, 4, 23, 28, RED)
    c.rect(19, 8, 26, 20, RED)
    return c


ICONS = {
    "user.ico": user, "morwell.ico": brand,
    "buy.png": lambda: arrow(True, BLUE), "sell.png": lambda: arrow(False, RED),
    "pending_order.png": pending, "connect.png": lambda: plug(True), "disconnect.png": lambda: plug(False),
    "neworder.png": new_order, "cursor.png": cursor, "crosshair.png": crosshair,
    "hline.png": hline, "vline.png": vline, "trendline.png": trendline,
    "fibonacci.png": fibonacci, "barchart.png": bars, "candles.png": candles,
}

RATE = 22050


def tones(parts):
    """parts: (frequency Hz or 0 for silence, seconds) in order."""
    samples = []
    for freq, seconds in parts:
        n = int(RATE * seconds)
        for i in range(n):
            envelope = min(1.0, i / 200, (n - i) / 400)
            value = math.sin(2 * math.pi * freq * i / RATE) if freq else 0.0
            samples.append(int(0.45 * 32767 * envelope * value))
    return struct.pack("<%dh" % len(samples), *samples)


SOUNDS = {
    "connected.wav": [(660, 0.09), (0, 0.03), (990, 0.14)],
    "disconnected.wav": [(740, 0.10), (0, 0.03), (440, 0.18)],
    "trade.wav": [(1320, 0.07), (0, 0.02), (1320, 0.07)],
    "error.wav": [(220, 0.22), (0, 0.04), (196, 0.22)],
}


def main():
    os.makedirs(os.path.join(HERE, "icon"), exist_ok=True)
    os.makedirs(os.path.join(HERE, "sound"), exist_ok=True)
    for name, draw in ICONS.items():
        data = draw().png()
        if name.endswith(".ico"):
            data = ico(data)
        with open(os.path.join(HERE, "icon", name), "wb") as f:
            f.write(data)
    for name, parts in SOUNDS.items():
        with wave.open(os.path.join(HERE, "sound", name), "wb") as w:
            w.setnchannels(1)
            w.setsampwidth(2)
            w.setframerate(RATE)
            w.writeframes(tones(parts))
    files = ["icon/" + n for n in ICONS] + ["sound/" + n for n in SOUNDS]
    with open(os.path.join(HERE, "resources.qrc"), "w") as f:
        f.write("<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n  <qresource prefix=\"/\">\n")
        for path in files:
            f.write("    <file>%s</file>\n" % path)
        f.write("  </qresource>\n</RCC>\n")


if __name__ == "__main__":
    main()
