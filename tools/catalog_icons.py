"""Pictograms of the level tree: a grid of 16 x 16 cells written as a PNG.

Black (0, 0, 0) is the tree's mask colour: it is the background of every cell and
is never used inside a pictogram (outlines use a dark grey instead).
"""
import struct
import zlib

CELL = 16
COLUMNS = 8

K = (0, 0, 0)           # transparent (mask)
OUT = (48, 48, 48)      # outline
WHITE = (240, 240, 240)
GREY = (150, 150, 150)
DARK = (96, 96, 96)
RED = (210, 40, 40)
GREEN = (60, 170, 60)
DGREEN = (30, 110, 40)
BLUE = (60, 110, 220)
SKY = (110, 170, 240)
YELLOW = (240, 210, 50)
GOLD = (220, 170, 40)
BROWN = (150, 95, 45)
TAN = (225, 180, 140)
TEAL = (40, 160, 160)
PURPLE = (150, 70, 200)
ORANGE = (240, 140, 30)
CYAN = (150, 230, 240)


class Cell:
    def __init__(self):
        self.px = [[K] * CELL for _ in range(CELL)]

    def dot(self, x, y, c):
        if 0 <= x < CELL and 0 <= y < CELL:
            self.px[y][x] = c

    def rect(self, x0, y0, x1, y1, c):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.dot(x, y, c)

    def frame(self, x0, y0, x1, y1, c):
        for x in range(x0, x1 + 1):
            self.dot(x, y0, c)
            self.dot(x, y1, c)
        for y in range(y0, y1 + 1):
            self.dot(x0, y, c)
            self.dot(x1, y, c)

    def line(self, x0, y0, x1, y1, c):
        dx, dy = abs(x1 - x0), -abs(y1 - y0)
        sx, sy = (1 if x0 < x1 else -1), (1 if y0 < y1 else -1)
        err = dx + dy
        while True:
            self.dot(x0, y0, c)
            if x0 == x1 and y0 == y1:
                return
            e2 = 2 * err
            if e2 >= dy:
                err += dy
                x0 += sx
            if e2 <= dx:
                err += dx
                y0 += sy

    def disc(self, cx, cy, r, c):
        for y in range(CELL):
            for x in range(CELL):
                if (x - cx) ** 2 + (y - cy) ** 2 <= r * r + r * 0.8:
                    self.dot(x, y, c)

    def ring(self, cx, cy, r, c):
        for y in range(CELL):
            for x in range(CELL):
                d = (x - cx) ** 2 + (y - cy) ** 2
                if (r - 0.5) ** 2 <= d <= (r + 0.5) ** 2:
                    self.dot(x, y, c)

    def poly(self, pts, c):
        # Even-odd scanline fill through pixel centres.
        for y in range(CELL):
            yc = y + 0.5
            xs = []
            for i in range(len(pts)):
                (xa, ya), (xb, yb) = pts[i], pts[(i + 1) % len(pts)]
                if (ya <= yc < yb) or (yb <= yc < ya):
                    xs.append(xa + (yc - ya) * (xb - xa) / (yb - ya))
            xs.sort()
            for i in range(0, len(xs) - 1, 2):
                for x in range(CELL):
                    if xs[i] <= x + 0.5 <= xs[i + 1]:
                        self.dot(x, y, c)

    def glyph(self, x0, y0, rows, c, scale=2):
        for j, row in enumerate(rows):
            for i, ch in enumerate(row):
                if ch == '#':
                    self.rect(x0 + i * scale, y0 + j * scale,
                              x0 + i * scale + scale - 1, y0 + j * scale + scale - 1, c)


def figure(p, body, skin=TAN, braid=False):
    p.disc(8, 3, 2, skin)
    p.rect(6, 6, 10, 10, body)
    p.line(5, 6, 3, 10, skin)
    p.line(11, 6, 13, 10, skin)
    p.rect(6, 11, 7, 15, DARK)
    p.rect(9, 11, 10, 15, DARK)
    if braid:
        p.line(10, 2, 12, 7, BROWN)


def draw_mesh(p):
    p.frame(2, 5, 10, 13, GREY)
    p.frame(5, 2, 13, 10, GREY)
    for (a, b) in ((2, 5), (10, 5), (2, 13), (10, 13)):
        p.line(a, b, a + 3, b - 3, GREY)


def draw_level(p):
    p.rect(1, 4, 14, 13, BROWN)
    p.rect(1, 3, 6, 4, BROWN)
    p.rect(2, 6, 13, 12, GOLD)
    p.frame(1, 3, 14, 13, OUT)


def draw_title(p):
    p.rect(1, 1, 14, 14, BLUE)
    p.glyph(3, 3, ["#####", "..#..", "..#..", "..#..", "..#.."], WHITE, 2)


def draw_training(p):
    p.poly([(8, 1), (15, 8), (1, 8)], RED)
    p.rect(3, 8, 12, 14, TAN)
    p.rect(7, 10, 9, 14, BROWN)


def draw_cutscene(p):
    p.rect(1, 6, 14, 14, DARK)
    p.poly([(1, 2), (14, 0), (14, 4), (1, 6)], WHITE)
    for x in (4, 8, 12):
        p.line(x, 1, x - 1, 5, OUT)
    p.rect(3, 8, 12, 12, GREY)


def draw_moveables(p):
    p.rect(1, 7, 7, 13, BLUE)
    p.rect(8, 3, 14, 9, SKY)
    p.line(5, 4, 8, 4, WHITE)
    p.line(7, 3, 8, 4, WHITE)
    p.line(7, 5, 8, 4, WHITE)


def draw_static_meshes(p):
    p.rect(5, 3, 10, 13, GREY)
    p.rect(3, 1, 12, 2, WHITE)
    p.rect(3, 14, 12, 15, WHITE)
    p.line(7, 3, 7, 13, DARK)


def draw_sprites(p):
    p.rect(5, 1, 14, 10, TEAL)
    p.frame(5, 1, 14, 10, OUT)
    p.rect(1, 5, 10, 14, CYAN)
    p.frame(1, 5, 10, 14, OUT)
    p.disc(5, 9, 1, YELLOW)


def draw_sounds(p):
    p.rect(1, 6, 3, 10, GREY)
    p.poly([(3, 6), (8, 2), (8, 14), (3, 10)], GREY)
    p.line(10, 5, 11, 8, WHITE)
    p.line(11, 8, 10, 11, WHITE)
    p.line(12, 3, 14, 8, WHITE)
    p.line(14, 8, 12, 13, WHITE)


def draw_sky(p):
    p.rect(0, 0, 15, 15, SKY)
    p.disc(11, 4, 3, YELLOW)
    p.disc(5, 10, 3, WHITE)
    p.disc(9, 11, 2, WHITE)
    p.rect(2, 11, 12, 13, WHITE)


def draw_lara(p):
    figure(p, TEAL, braid=True)


def draw_weapon_anim(p):
    p.rect(2, 4, 13, 7, GREY)
    p.rect(3, 7, 6, 13, DARK)
    p.line(7, 8, 9, 8, GREY)
    p.dot(14, 5, YELLOW)
    p.dot(15, 4, ORANGE)
    p.dot(15, 6, ORANGE)


def draw_enemy(p):
    figure(p, RED)


def draw_animal(p):
    p.disc(8, 10, 3, BROWN)
    for (x, y) in ((3, 5), (6, 2), (10, 2), (13, 5)):
        p.disc(x, y, 1, BROWN)


def draw_vehicle(p):
    p.rect(1, 6, 14, 10, RED)
    p.rect(4, 3, 10, 6, RED)
    p.rect(5, 4, 9, 5, CYAN)
    p.disc(4, 11, 2, DARK)
    p.disc(12, 11, 2, DARK)


def draw_pickup(p):
    p.rect(2, 4, 13, 13, WHITE)
    p.rect(6, 2, 9, 4, GREY)
    p.rect(7, 6, 8, 11, RED)
    p.rect(5, 8, 10, 9, RED)


def draw_key(p):
    p.ring(4, 8, 3, GOLD)
    p.rect(7, 7, 14, 8, GOLD)
    p.rect(11, 9, 12, 11, GOLD)
    p.rect(14, 9, 14, 11, GOLD)


def draw_puzzle(p):
    p.poly([(8, 1), (14, 7), (8, 15), (2, 7)], PURPLE)
    p.line(2, 7, 14, 7, WHITE)
    p.line(8, 1, 6, 7, WHITE)
    p.line(8, 1, 10, 7, WHITE)


def draw_door(p):
    p.rect(3, 1, 12, 15, BROWN)
    p.frame(3, 1, 12, 15, OUT)
    p.frame(5, 3, 10, 7, OUT)
    p.frame(5, 9, 10, 13, OUT)
    p.dot(11, 8, GOLD)


def draw_switch(p):
    p.rect(2, 10, 13, 14, GREY)
    p.line(7, 10, 11, 2, WHITE)
    p.line(8, 10, 12, 2, WHITE)
    p.disc(12, 2, 1, RED)


def draw_trap(p):
    p.rect(0, 13, 15, 15, DARK)
    for x in (0, 5, 10):
        p.poly([(x, 13), (x + 2.5, 2), (x + 5, 13)], GREY)


def draw_effect(p):
    p.poly([(8, 0), (10, 6), (16, 8), (10, 10), (8, 16), (6, 10), (0, 8), (6, 6)], ORANGE)
    p.disc(8, 8, 2, YELLOW)


def draw_misc(p):
    p.disc(8, 8, 6, GREY)
    p.disc(8, 8, 2, K)
    for (x, y) in ((8, 1), (8, 14), (1, 8), (14, 8)):
        p.rect(x - 1, y - 1, x + 1, y + 1, GREY)


def draw_camera(p):
    p.rect(1, 5, 11, 12, DARK)
    p.poly([(11, 7), (15, 4), (15, 13), (11, 10)], GREY)
    p.disc(4, 3, 2, GREY)
    p.disc(8, 3, 2, GREY)


def draw_plant(p):
    p.rect(5, 12, 10, 15, BROWN)
    p.line(8, 12, 8, 4, DGREEN)
    p.poly([(8, 8), (2, 3), (3, 9)], GREEN)
    p.poly([(8, 6), (14, 1), (13, 8)], GREEN)
    p.disc(8, 3, 1, GREEN)


def draw_furniture(p):
    p.rect(1, 5, 14, 7, BROWN)
    p.rect(2, 8, 3, 14, BROWN)
    p.rect(12, 8, 13, 14, BROWN)
    p.rect(6, 2, 9, 4, GOLD)


def draw_rock(p):
    p.poly([(1, 14), (3, 6), (7, 3), (12, 5), (15, 14)], GREY)
    p.line(5, 8, 8, 11, DARK)
    p.line(10, 6, 11, 10, DARK)


def draw_architecture(p):
    p.rect(1, 1, 14, 3, TAN)
    p.rect(2, 4, 4, 14, TAN)
    p.rect(11, 4, 13, 14, TAN)
    p.rect(0, 14, 15, 15, GREY)
    p.rect(5, 4, 10, 5, TAN)


def draw_debris(p):
    for (x, y, c) in ((2, 11, GREY), (6, 8, TAN), (10, 12, GREY), (12, 6, DARK),
                      (4, 4, TAN), (8, 2, GREY)):
        p.rect(x, y, x + 2, y + 2, c)


def draw_shatter(p):
    p.rect(2, 1, 13, 14, CYAN)
    for (a, b, c, d) in ((7, 7, 2, 1), (7, 7, 13, 3), (7, 7, 3, 14), (7, 7, 13, 12), (7, 7, 9, 14)):
        p.line(a, b, c, d, BLUE)


def draw_sprite(p):
    p.rect(1, 1, 14, 14, WHITE)
    p.frame(1, 1, 14, 14, OUT)
    p.poly([(2, 13), (6, 6), (9, 10), (11, 8), (14, 13)], GREEN)
    p.disc(11, 4, 1, YELLOW)


def draw_font(p):
    p.glyph(3, 2, [".###.", "#...#", "#####", "#...#", "#...#", "#...#"], WHITE, 2)


# Icon names in strip order: the position is the icon id.
ICONS = [
    ("Mesh", draw_mesh),
    ("Level", draw_level),
    ("Title", draw_title),
    ("Training", draw_training),
    ("Cutscene", draw_cutscene),
    ("Moveables", draw_moveables),
    ("StaticMeshes", draw_static_meshes),
    ("Sprites", draw_sprites),
    ("Sounds", draw_sounds),
    ("Sky", draw_sky),
    ("Lara", draw_lara),
    ("WeaponAnim", draw_weapon_anim),
    ("Enemy", draw_enemy),
    ("Animal", draw_animal),
    ("Vehicle", draw_vehicle),
    ("Pickup", draw_pickup),
    ("Key", draw_key),
    ("Puzzle", draw_puzzle),
    ("Door", draw_door),
    ("Switch", draw_switch),
    ("Trap", draw_trap),
    ("Effect", draw_effect),
    ("Misc", draw_misc),
    ("Camera", draw_camera),
    ("Plant", draw_plant),
    ("Furniture", draw_furniture),
    ("Rock", draw_rock),
    ("Architecture", draw_architecture),
    ("Debris", draw_debris),
    ("Shatter", draw_shatter),
    ("Sprite", draw_sprite),
    ("Font", draw_font),
]


def icon_names():
    return [name for name, _ in ICONS]


def render_grid():
    """Returns (width, height, rows of RGB tuples) of the whole grid."""
    rows_of_cells = (len(ICONS) + COLUMNS - 1) // COLUMNS
    width, height = COLUMNS * CELL, rows_of_cells * CELL
    img = [[K] * width for _ in range(height)]
    for n, (_, draw) in enumerate(ICONS):
        cell = Cell()
        draw(cell)
        ox, oy = (n % COLUMNS) * CELL, (n // COLUMNS) * CELL
        for y in range(CELL):
            for x in range(CELL):
                img[oy + y][ox + x] = cell.px[y][x]
    return width, height, img


def png_bytes(width, height, img):
    raw = bytearray()
    for row in img:
        raw.append(0)  # filter: none
        for (r, g, b) in row:
            raw += bytes((r, g, b))

    def chunk(tag, data):
        body = tag + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    ihdr = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def write_png(path):
    width, height, img = render_grid()
    with open(path, "wb") as f:
        f.write(png_bytes(width, height, img))
