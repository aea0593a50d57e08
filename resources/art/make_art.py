#!/usr/bin/env python3
"""Draws the skin of the module's dialogs: 24-bit BMPs and the window icon.

Usage: make_art.py OUTPUT_DIR

Only the standard library. Shapes are anti-aliased by 4 x 4 supersampling; the button
captions use a small hand-made pixel font. Sizes and layouts are fixed by the code that
slices the pictures: change colours and shapes freely, not the dimensions.
"""
import math
import os
import struct
import sys

MAGENTA = (255, 0, 255)
BLACK = (0, 0, 0)
WHITE = (255, 255, 255)
SAMPLES = 4


class Canvas:
    def __init__(self, width, height, fill=WHITE):
        self.w = width
        self.h = height
        self.px = [[fill for _ in range(width)] for _ in range(height)]

    def get(self, x, y):
        return self.px[y][x]

    def set(self, x, y, color):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = tuple(int(round(c)) for c in color)

    def blend(self, x, y, color, alpha):
        if alpha <= 0 or not (0 <= x < self.w and 0 <= y < self.h):
            return
        alpha = min(alpha, 1.0)
        old = self.px[y][x]
        self.px[y][x] = tuple(int(round(o + (c - o) * alpha)) for o, c in zip(old, color))

    def fill_rect(self, x0, y0, x1, y1, color):
        for y in range(max(0, y0), min(self.h, y1)):
            for x in range(max(0, x0), min(self.w, x1)):
                self.px[y][x] = color

    def paint(self, inside, color_at, box=None, alpha=1.0):
        """Fills the shape given by inside(x, y) (float coordinates) with color_at(x, y)."""
        x0, y0, x1, y1 = box if box else (0, 0, self.w, self.h)
        step = 1.0 / SAMPLES
        offsets = [(i + 0.5) * step for i in range(SAMPLES)]
        for y in range(max(0, int(y0)), min(self.h, int(math.ceil(y1)))):
            for x in range(max(0, int(x0)), min(self.w, int(math.ceil(x1)))):
                hits = 0
                for oy in offsets:
                    for ox in offsets:
                        if inside(x + ox, y + oy):
                            hits += 1
                if hits:
                    self.blend(x, y, color_at(x + 0.5, y + 0.5), alpha * hits / (SAMPLES * SAMPLES))

    def blit(self, other, dx, dy):
        for y in range(other.h):
            for x in range(other.w):
                self.set(dx + x, dy + y, other.px[y][x])

    def cut_out(self, inside, key):
        """Sets every pixel whose centre lies outside the shape to the transparent key colour.
        Edges are anti-aliased against the colour the picture will sit on (the dialogs' white
        inset), then cut hard, because an image-list mask is all or nothing."""
        for y in range(self.h):
            for x in range(self.w):
                if not inside(x + 0.5, y + 0.5):
                    self.px[y][x] = key

    def write_bmp(self, path):
        row_size = (self.w * 3 + 3) & ~3
        data = bytearray()
        for y in range(self.h - 1, -1, -1):
            row = bytearray()
            for r, g, b in self.px[y]:
                row += bytes((b, g, r))
            row += b'\0' * (row_size - len(row))
            data += row
        header = struct.pack('<2sIHHI', b'BM', 14 + 40 + len(data), 0, 0, 54)
        info = struct.pack('<IiiHHIIiiII', 40, self.w, self.h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
        with open(path, 'wb') as f:
            f.write(header + info + data)


def mix(a, b, t):
    t = max(0.0, min(1.0, t))
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def vgradient(stops, y0, y1):
    """Colour at y along stops [(t, colour), ...] between y0 and y1."""
    def at(_x, y):
        t = (y - y0) / max(1e-6, (y1 - y0))
        for (t0, c0), (t1, c1) in zip(stops, stops[1:]):
            if t <= t1:
                return mix(c0, c1, (t - t0) / max(1e-6, t1 - t0))
        return stops[-1][1]
    return at


def solid(color):
    return lambda _x, _y: color


def in_round_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if x < x0 or x > x1 or y < y0 or y > y1:
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def in_circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def in_polygon(points):
    def inside(x, y):
        result = False
        j = len(points) - 1
        for i, (xi, yi) in enumerate(points):
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                result = not result
            j = i
        return result
    return inside


def ring(outer, inner):
    return lambda x, y: outer(x, y) and not inner(x, y)


# A small bold pixel font for the button captions: 8 rows, '#' set.
GLYPHS = {
    'O': ["  ####  ", " ##  ## ", "##    ##", "##    ##", "##    ##", "##    ##", " ##  ## ", "  ####  "],
    'K': ["##   ##", "##  ## ", "## ##  ", "####   ", "## ##  ", "##  ## ", "##   ##", "##    #"],
    'H': ["##   ##", "##   ##", "##   ##", "#######", "##   ##", "##   ##", "##   ##", "##   ##"],
    'S': [" ##### ", "##   ##", "##     ", " ##### ", "     ##", "     ##", "##   ##", " ##### "],
    'C': ["  #### ", " ##  ##", "##     ", "##     ", "##     ", "##     ", " ##  ##", "  #### "],
    'e': ["      ", "      ", " #### ", "##  ##", "######", "##    ", "##  ##", " #### "],
    'l': ["##", "##", "##", "##", "##", "##", "##", "##"],
    'p': ["      ", "      ", "##### ", "##  ##", "##  ##", "##  ##", "##### ", "##    "],
    'n': ["      ", "      ", "##### ", "##  ##", "##  ##", "##  ##", "##  ##", "##  ##"],
    'd': ["    ##", "    ##", " #####", "##  ##", "##  ##", "##  ##", "##  ##", " #####"],
    'a': ["      ", "      ", " #### ", "    ##", " #####", "##  ##", "##  ##", " #####"],
    'c': ["      ", "      ", " #### ", "##  ##", "##    ", "##    ", "##  ##", " #### "],
}


def text_width(text):
    return sum(len(GLYPHS[ch][0]) + 1 for ch in text) - 1


def draw_text(canvas, text, x, y, color, shadow=None):
    for layer, (dx, dy, col) in enumerate(((1, 1, shadow), (0, 0, color))):
        if col is None:
            continue
        cx = x
        for ch in text:
            rows = GLYPHS[ch]
            for ry, row in enumerate(rows):
                for rx, bit in enumerate(row):
                    if bit == '#':
                        canvas.set(cx + rx + dx, y + ry + dy, col)
            cx += len(rows[0]) + 1


# Palette of the product: olive title bar, orange panel, silver buttons with amber hover.
OLIVE_TOP = (128, 138, 72)
OLIVE_MID = (84, 94, 40)
OLIVE_BOTTOM = (52, 60, 22)
ORANGE = (255, 160, 20)
ORANGE_LIGHT = (255, 222, 120)
GOLD = (214, 160, 40)


def caption_gradient(y0, y1):
    return vgradient([(0.0, OLIVE_TOP), (0.45, OLIVE_MID), (0.5, (70, 80, 32)), (1.0, OLIVE_BOTTOM)], y0, y1)


def emblem(canvas, ox, oy, size):
    """Round orange badge with a white page cut by three dark shredder lines."""
    s = size / 20.0
    cx, cy, r = ox + size / 2.0, oy + size / 2.0, size / 2.0 - 0.5 * s
    canvas.paint(in_circle(cx, cy, r), solid((90, 50, 0)))
    canvas.paint(in_circle(cx, cy, r - 1.0 * s),
                 vgradient([(0.0, ORANGE_LIGHT), (0.5, ORANGE), (1.0, (200, 100, 0))], cy - r, cy + r))
    page = in_polygon([(cx - 4.5 * s, cy - 6 * s), (cx + 2.5 * s, cy - 6 * s), (cx + 4.5 * s, cy - 4 * s),
                       (cx + 4.5 * s, cy + 6 * s), (cx - 4.5 * s, cy + 6 * s)])
    canvas.paint(page, solid(WHITE))
    for i in range(3):
        top = cy - 3 * s + i * 3.2 * s
        canvas.paint(lambda x, y, t=top: t <= y <= t + 1.2 * s and cx - 3.5 * s <= x <= cx + 3.5 * s,
                     solid((120, 70, 10)))


def make_caption():
    c = Canvas(304, 28, OLIVE_BOTTOM)
    c.paint(lambda x, y: True, caption_gradient(0, 27))
    # A light rim along the top edge; the window's region rounds the corners.
    c.paint(lambda x, y: y < 1, solid((170, 180, 110)), alpha=0.8)
    c.paint(lambda x, y: y >= 26, solid((34, 40, 14)))
    emblem(c, 5, 4, 19)
    return c


def make_caption_buttons():
    c = Canvas(96, 67, OLIVE_MID)
    c.paint(lambda x, y: True, caption_gradient(-6, 21))  # as the title bar behind rows 6..21
    glyph_color = WHITE
    styles = [  # (fill top, fill bottom, border, glyph)
        ((150, 160, 96), (96, 106, 52), (200, 206, 160), glyph_color),
        ((60, 68, 28), (96, 106, 52), (40, 46, 18), (230, 230, 210)),
        ((255, 214, 110), (230, 140, 20), (255, 240, 190), WHITE),
    ]
    for i in range(6):
        ox = i * 16
        top, bottom, border, glyph = styles[i % 3]
        if i >= 3 and i % 3 != 1:  # close: red when resting and hovered
            top, bottom = ((236, 120, 90), (180, 40, 20)) if i == 3 else ((255, 160, 120), (220, 60, 30))
        c.paint(in_round_rect(ox + 0.5, 0.5, ox + 15.5, 15.5, 3), solid(border))
        c.paint(in_round_rect(ox + 1.5, 1.5, ox + 14.5, 14.5, 2.5), vgradient([(0, top), (1, bottom)], 1, 15))
        shift = 1 if i % 3 == 1 else 0
        if i < 3:
            c.paint(lambda x, y, o=ox + shift: o + 4 <= x <= o + 11 and 10 + shift <= y <= 12 + shift, solid(glyph))
        else:
            o = ox + shift
            d1 = lambda x, y, o=o: abs((x - o - 8) - (y - 8 - shift)) <= 1.1 and 4.5 <= x - o <= 11.5
            d2 = lambda x, y, o=o: abs((x - o - 8) + (y - 8 - shift)) <= 1.1 and 4.5 <= x - o <= 11.5
            c.paint(lambda x, y: d1(x, y) or d2(x, y), solid(glyph))
    return c


def make_face(label, state):
    """One 75 x 24 push-button face on magenta: 0 normal, 1 pressed, 2 hovered, 3 focused."""
    c = Canvas(75, 24, WHITE)
    if state == 1:
        stops = [(0, (150, 156, 170)), (0.5, (186, 192, 204)), (1, (226, 230, 236))]
        border, text, shadow = (70, 74, 90), (30, 30, 40), None
    elif state == 2:
        stops = [(0, (255, 246, 214)), (0.48, (255, 214, 120)), (0.52, (255, 190, 70)), (1, (255, 226, 140))]
        border, text, shadow = (176, 110, 10), (70, 40, 0), (255, 240, 200)
    else:
        stops = [(0, (255, 255, 255)), (0.48, (232, 236, 242)), (0.52, (212, 218, 228)), (1, (240, 243, 248))]
        border, text, shadow = (96, 104, 124), (30, 36, 52), WHITE
    outline = in_round_rect(0.5, 0.5, 74.5, 22.5, 5)
    c.paint(outline, solid(border))
    c.paint(in_round_rect(1.5, 1.5, 73.5, 21.5, 4), vgradient(stops, 1.5, 21.5))
    if state == 3:
        c.paint(ring(in_round_rect(2.5, 2.5, 72.5, 20.5, 3.5), in_round_rect(3.7, 3.7, 71.3, 19.3, 2.5)),
                solid((60, 120, 220)))
    shift = 1 if state == 1 else 0
    draw_text(c, label, (75 - text_width(label)) // 2 + shift, 7 + shift, text, shadow)
    c.cut_out(outline, MAGENTA)
    return c


def make_face_strip(labels, height):
    c = Canvas(75 * 4 * len(labels), height, MAGENTA)
    for g, label in enumerate(labels):
        for state in range(4):
            face = make_face(label, state)
            c.blit(face, (g * 4 + state) * 75, 0)
    return c


def make_warning():
    c = Canvas(32, 28, WHITE)
    tri = [(16, 1), (31, 26.5), (1, 26.5)]
    c.paint(in_polygon(tri), solid((120, 70, 0)))
    inner = [(16, 4.2), (28.3, 25), (3.7, 25)]
    c.paint(in_polygon(inner), vgradient([(0, (255, 240, 140)), (1, (250, 170, 10))], 4, 25))
    mark = (40, 30, 10)  # not black: black is the transparent colour
    c.paint(in_round_rect(14.6, 9, 17.4, 19, 1.3), solid(mark))
    c.paint(in_circle(16, 22, 1.6), solid(mark))
    c.cut_out(in_polygon(tri), BLACK)
    return c


def make_trough():
    c = Canvas(337, 19, WHITE)
    c.paint(in_round_rect(0.5, 0.5, 336.5, 18.5, 8), solid(GOLD))
    c.paint(in_round_rect(1.6, 1.6, 335.4, 17.4, 7), vgradient([(0, (236, 236, 236)), (0.3, WHITE), (1, WHITE)], 2, 17))
    return c


def make_block():
    c = Canvas(8, 12)
    c.paint(lambda x, y: True, vgradient([(0, (190, 255, 170)), (0.45, (60, 200, 40)), (1, (20, 120, 10))], 0, 12))
    c.paint(lambda x, y: x < 1 or y < 1, solid((220, 255, 210)), alpha=0.6)
    return c


def make_body():
    return Canvas(37, 309, WHITE)


# Icon: the emblem at every size the window may ask for.
def emblem_canvas(size):
    c = Canvas(size, size, BLACK)
    coverage = Canvas(size, size, BLACK)
    emblem(c, 0, 0, size)
    s = size / 20.0
    coverage.paint(in_circle(size / 2.0, size / 2.0, size / 2.0 - 0.5 * s), solid(WHITE))
    return c, coverage


VGA16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
         (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255), (255, 0, 255),
         (0, 255, 255), (255, 255, 255)]


def palette_256():
    colors = list(VGA16)
    for r in range(6):
        for g in range(6):
            for b in range(6):
                colors.append((r * 51, g * 51, b * 51))
    while len(colors) < 256:
        v = (len(colors) - 232) * 10 + 8
        colors.append((v, v, v))
    return colors[:256]


def nearest(palette, color):
    return min(range(len(palette)), key=lambda i: sum((a - b) ** 2 for a, b in zip(palette[i], color)))


def icon_image(size, bits):
    c, coverage = emblem_canvas(size)
    mask_row = ((size + 31) // 32) * 4
    mask = bytearray()
    for y in range(size - 1, -1, -1):
        row = bytearray(mask_row)
        for x in range(size):
            if coverage.get(x, y)[0] < 128:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    pixels = bytearray()
    palette = []
    if bits == 32:
        for y in range(size - 1, -1, -1):
            for x in range(size):
                r, g, b = c.get(x, y)
                a = coverage.get(x, y)[0]
                pixels += bytes((b * a // 255, g * a // 255, r * a // 255, a))  # premultiplied
    else:
        palette = VGA16 if bits == 4 else palette_256()
        cache = {}
        indices = []
        for y in range(size - 1, -1, -1):
            row = []
            for x in range(size):
                color = c.get(x, y) if coverage.get(x, y)[0] >= 128 else BLACK
                if color not in cache:
                    cache[color] = nearest(palette, color)
                row.append(cache[color])
            indices.append(row)
        stride = ((size * bits + 31) // 32) * 4
        for row in indices:
            data = bytearray(stride)
            for x, idx in enumerate(row):
                if bits == 8:
                    data[x] = idx
                else:
                    data[x // 2] |= idx << (4 if x % 2 == 0 else 0)
            pixels += data
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, bits, 0, len(pixels) + len(mask), 0, 0,
                         len(palette), 0)
    pal = b''.join(bytes((b, g, r, 0)) for r, g, b in palette)
    return header + pal + pixels + mask, len(palette)


def write_ico(path):
    entries = [(48, 4), (32, 4), (24, 4), (16, 4), (48, 8), (32, 8), (24, 8), (16, 8), (48, 32), (24, 32), (16, 32)]
    images = [(size, bits) + icon_image(size, bits) for size, bits in entries]
    out = bytearray(struct.pack('<HHH', 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, bits, data, colors in images:
        out += struct.pack('<BBBBHHII', size, size, colors if colors < 256 else 0, 0, 1, bits, len(data), offset)
        offset += len(data)
    for _size, _bits, data, _colors in images:
        out += data
    with open(path, 'wb') as f:
        f.write(out)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else '.'
    os.makedirs(out, exist_ok=True)
    pictures = {
        'caption.bmp': make_caption(),
        'caption_buttons.bmp': make_caption_buttons(),
        'ok_faces.bmp': make_face_strip(['OK'], 23),
        'button_faces.bmp': make_face_strip(['Help', 'Send', 'Cancel'], 24),
        'warning.bmp': make_warning(),
        'body.bmp': make_body(),
        'trough.bmp': make_trough(),
        'block.bmp': make_block(),
    }
    for name, canvas in pictures.items():
        canvas.write_bmp(os.path.join(out, name))
    write_ico(os.path.join(out, 'orvex.ico'))


if __name__ == '__main__':
    main()
