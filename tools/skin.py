#!/usr/bin/env python3
"""Draws the player's skin bitmap (resource 1001) and its icon (resource 1000),
and the settings tool's icon.

    skin.py SKIN.bmp ICON.ico [TOOL.ico]

The skin is 296 x 30 pixels, 4 bits per pixel, on the 16-entry palette below.
Every button face is drawn here from its place in the button table, its
bevel and a symbol given as a small text picture ('#' is black, '.' leaves
the face, other characters are palette digits in hex). Change a picture or a
place here and the build draws the skin anew.
"""
import struct
import sys

PALETTE = [
    (0, 0, 0), (32, 32, 32), (64, 64, 64), (96, 96, 96), (128, 128, 128),
    (160, 160, 160), (192, 192, 192), (224, 224, 224), (255, 255, 255),
    (0, 128, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255), (255, 0, 255),
    (0, 255, 255), (255, 255, 255),
]
BLACK, DARK, LAMP_GREY, FACE, LIGHT, GREEN = 0, 4, 5, 6, 7, 10

WIDTH, HEIGHT = 296, 30


class Picture:
    def __init__(self, width, height, fill):
        self.width, self.height = width, height
        self.pixels = [[fill] * width for _ in range(height)]

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = colour

    def hline(self, x0, x1, y, colour):
        for x in range(x0, x1 + 1):
            self.put(x, y, colour)

    def vline(self, x, y0, y1, colour):
        for y in range(y0, y1 + 1):
            self.put(x, y, colour)

    def box(self, x0, y0, x1, y1, colour):
        self.hline(x0, x1, y0, colour)
        self.hline(x0, x1, y1, colour)
        self.vline(x0, y0, y1, colour)
        self.vline(x1, y0, y1, colour)

    def fill(self, x0, y0, x1, y1, colour):
        for y in range(y0, y1 + 1):
            self.hline(x0, x1, y, colour)

    def stamp(self, x, y, rows):
        for dy, row in enumerate(rows):
            for dx, ch in enumerate(row):
                if ch == '#':
                    self.put(x + dx, y + dy, BLACK)
                elif ch != '.':
                    self.put(x + dx, y + dy, int(ch, 16))


def side_by_side(*pictures, gap=1):
    """Joins text pictures left to right with gap blank columns between."""
    height = max(len(p) for p in pictures)
    rows = [''] * height
    for i, p in enumerate(pictures):
        width = max(len(r) for r in p)
        for y in range(height):
            row = p[y] if y < len(p) else ''
            rows[y] += row.ljust(width, '.') + ('.' * gap if i < len(pictures) - 1 else '')
    return rows


# Symbols of the buttons.
EJECT = [
    "....#....",
    "...###...",
    "..#####..",
    ".#######.",
    "#########",
    ".........",
    "#########",
]
STOP = ["#######"] * 7
LEFT = ["...#", "..##", ".###", "####", ".###", "..##", "...#"]
RIGHT = [r[::-1] for r in LEFT]
BAR = ["#"] * 7
SLASH = ["...#", "...#", "..#.", ".##.", ".#..", "#...", "#..."]
PAUSE = ["##.##"] * 7
PREVIOUS = side_by_side(BAR, LEFT, LEFT, gap=0)
NEXT = side_by_side(RIGHT, RIGHT, BAR, gap=0)
PLAY_PAUSE = side_by_side(RIGHT, SLASH, PAUSE, gap=2)
MINIMISE = [".....", ".....", ".....", ".....", "#####", "#####"]
CLOSE = [
    "##...##",
    ".##.##.",
    "..###..",
    ".##.##.",
    "##...##",
]
RETURN_ARROW = [
    "........#",
    "..#.....#",
    ".##.....#",
    "#########",
    ".##......",
    "..#......",
]

# Five-pixel capitals of the glyphs and the lamp's letters.
LETTERS = {
    'A': [".#.", "#.#", "###", "#.#", "#.#"],
    'C': [".##", "#..", "#..", "#..", ".##"],
    'D': ["##.", "#.#", "#.#", "#.#", "##."],
    'E': ["###", "#..", "##.", "#..", "###"],
    'H': ["#.#", "#.#", "###", "#.#", "#.#"],
    'I': ["#", "#", "#", "#", "#"],
    'L': ["#..", "#..", "#..", "#..", "###"],
    'M': ["#...#", "##.##", "#.#.#", "#...#", "#...#"],
    'N': ["#..#", "##.#", "#.##", "#..#", "#..#"],
    'O': [".#.", "#.#", "#.#", "#.#", ".#."],
    'R': ["##.", "#.#", "##.", "#.#", "#.#"],
    'T': ["###", ".#.", ".#.", ".#.", ".#."],
}


def word(text):
    return side_by_side(*[LETTERS[c] for c in text])


NOTE = [
    "....##....",
    "....#.##..",
    "....#...#.",
    "....#.....",
    "....#.....",
    "..###.....",
    ".####.....",
    ".###......",
]


def face(skin, x, y, width, height, pressed, symbol, symbol_dx=None):
    """One button face: outline, bevel, symbol centred (one pixel lower
    when pressed), and for 15- and 13-pixel faces a light line below."""
    outline_bottom = y + (height - 2 if height in (15, 13) else height - 1)
    right = x + width - 1
    skin.fill(x, y, right, outline_bottom, FACE)
    skin.box(x, y, right, outline_bottom, BLACK)
    top_left, bottom_right = (DARK, LIGHT) if pressed else (LIGHT, DARK)
    skin.hline(x + 1, right - 1, y + 1, top_left)
    skin.vline(x + 1, y + 1, outline_bottom - 1, top_left)
    skin.hline(x + 1, right - 1, outline_bottom - 1, bottom_right)
    skin.vline(right - 1, y + 1, outline_bottom - 1, bottom_right)
    if outline_bottom < y + height - 1:
        skin.hline(x, right, y + height - 1, LIGHT)
    symbol_width = max(len(r) for r in symbol)
    inner_height = outline_bottom - y - 3
    sx = x + (symbol_dx if symbol_dx is not None else (width - symbol_width) // 2)
    sy = y + 2 + (inner_height - len(symbol)) // 2 + (1 if pressed else 0)
    skin.stamp(sx, sy, symbol)


def lamp(lit, label):
    """A lamp face's symbol: a small square lamp, then its label."""
    fill = 'a' if lit else '5'
    square = ["44444", "4" + fill * 3 + "4", "4" + fill * 3 + "4", "4" + fill * 3 + "4", "44444"]
    return side_by_side(square, label, gap=2)


# (x, width, height, symbol, symbol x offset or None for centred)
BUTTON_FACES = [
    (0, 26, 15, EJECT, None),
    (25, 26, 15, STOP, None),
    (50, 26, 15, PREVIOUS, None),
    (75, 44, 15, PLAY_PAUSE, None),
    (118, 26, 15, NEXT, None),
    (144, 13, 14, MINIMISE, None),
    (156, 13, 14, CLOSE, None),
    (169, 23, 13, lamp(False, RETURN_ARROW), 3),
    (191, 29, 13, lamp(False, word("RND")), 3),
    (219, 23, 13, lamp(True, RETURN_ARROW), 3),
    (241, 29, 13, lamp(True, word("RND")), 3),
]


def draw_skin():
    skin = Picture(WIDTH, HEIGHT, FACE)
    for x, width, height, symbol, dx in BUTTON_FACES:
        face(skin, x, 0, width, height, False, symbol, dx)
        face(skin, x, height, width, height, True, symbol, dx)
    skin.stamp(270, 0, word("EACH"))
    skin.stamp(270, 6, word("TOTAL"))
    skin.stamp(270, 12, word("REMAIN"))
    skin.stamp(270, 18, NOTE)
    return skin


def draw_disc():
    """A 32 x 32 disc with its hole, transparent outside."""
    icon = Picture(32, 32, FACE)
    mask = [[1] * 32 for _ in range(32)]
    for y in range(32):
        for x in range(32):
            d2 = (x - 15.5) ** 2 + (y - 15.5) ** 2
            if d2 <= 15.5 ** 2:
                mask[y][x] = 0
                icon.put(x, y, BLACK if d2 > 14.5 ** 2 else (LIGHT if (x + y) % 7 else 8))
                if d2 <= 4 ** 2:
                    icon.put(x, y, DARK)
                if d2 <= 2.5 ** 2:
                    mask[y][x] = 1
                    icon.put(x, y, BLACK)
    return icon, mask


def draw_icon():
    """The player: the disc and a note."""
    icon, mask = draw_disc()
    big_note = [row.replace('#', 'c') for row in NOTE]
    for dy, row in enumerate(big_note):
        for dx, ch in enumerate(row):
            if ch != '.':
                for sy in range(2):
                    for sx in range(2):
                        icon.put(6 + dx * 2 + sx, 6 + dy * 2 + sy, int(ch, 16))
    return icon, mask


def draw_tool_icon():
    """The settings tool: the disc and a slider with its knob."""
    icon, mask = draw_disc()
    for x0, y0, x1, y1, colour in ((4, 21, 27, 23, BLACK), (5, 22, 26, 22, 12),
                                   (16, 17, 20, 27, BLACK), (17, 18, 19, 26, 11)):
        icon.fill(x0, y0, x1, y1, colour)
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                mask[y][x] = 0
    return icon, mask


def palette_bytes():
    return b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)


def pixel_rows(picture):
    """4-bit rows bottom-up, each padded to four bytes."""
    out = b''
    for row in reversed(picture.pixels):
        packed = bytes((row[i] << 4) | (row[i + 1] if i + 1 < len(row) else 0) for i in range(0, len(row), 2))
        out += packed + b'\0' * (-len(packed) % 4)
    return out


def info_header(width, height, image_size):
    return struct.pack('<IiiHHIIiiII', 40, width, height, 1, 4, 0, image_size, 0, 0, 16, 0)


def bmp(picture):
    pixels = pixel_rows(picture)
    offset = 14 + 40 + 64
    header = struct.pack('<2sIHHI', b'BM', offset + len(pixels), 0, 0, offset)
    return header + info_header(picture.width, picture.height, len(pixels)) + palette_bytes() + pixels


def clear_outside(picture, mask):
    """Black where the mask shows the screen: the icon's colours are XORed
    onto what lies beneath, so any other colour there draws a square."""
    for y, row in enumerate(mask):
        for x, transparent in enumerate(row):
            if transparent:
                picture.put(x, y, BLACK)
    return picture, mask


def half_size(picture, mask):
    """The 16 x 16 image: each 2 x 2 block is shown where most of it is."""
    small = Picture(16, 16, BLACK)
    small_mask = [[1] * 16 for _ in range(16)]
    for y in range(16):
        for x in range(16):
            block = [(2 * x + dx, 2 * y + dy) for dy in range(2) for dx in range(2)]
            shown = [(bx, by) for bx, by in block if not mask[by][bx]]
            if len(shown) >= 2:
                small_mask[y][x] = 0
                small.put(x, y, picture.pixels[shown[0][1]][shown[0][0]])
    return small, small_mask


def icon_image(picture, mask):
    pixels = pixel_rows(picture)
    and_rows = b''
    for row in reversed(mask):
        bits = 0
        for bit in row:
            bits = (bits << 1) | bit
        packed = bits.to_bytes(len(row) // 8, 'big')
        and_rows += packed + b'\0' * (-len(packed) % 4)
    return info_header(picture.width, picture.height * 2, len(pixels) + len(and_rows)) + palette_bytes() + pixels + \
        and_rows


def ico(picture, mask):
    """The icon in its two sizes, 32 x 32 and 16 x 16."""
    images = [icon_image(*clear_outside(picture, mask)), icon_image(*half_size(picture, mask))]
    directory = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip((32, 16), images):
        directory += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    return directory + b''.join(images)


def main():
    with open(sys.argv[1], 'wb') as out:
        out.write(bmp(draw_skin()))
    with open(sys.argv[2], 'wb') as out:
        out.write(ico(*draw_icon()))
    if len(sys.argv) > 3:
        with open(sys.argv[3], 'wb') as out:
            out.write(ico(*draw_tool_icon()))


if __name__ == '__main__':
    main()
