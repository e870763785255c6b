#!/usr/bin/env python3
"""Draws the program icon IDI_FLASH (a DIP chip struck by a lightning bolt)
at 32x32 and 16x16 in the 16-colour VGA palette and writes it as XPM.
make_icon.sh turns the XPMs into PNG and ICO files. Re-run both after an
edit; the outputs are committed."""
import sys

PALETTE = {  # key: (xpm char, rgb)
    'transparent': (' ', 'None'),
    'black': ('k', '#000000'),
    'gray': ('g', '#808080'),
    'silver': ('s', '#C0C0C0'),
    'white': ('w', '#FFFFFF'),
    'yellow': ('y', '#FFFF00'),
    'olive': ('o', '#808000'),
    'navy': ('n', '#000080'),
}


def inside(poly, x, y):
    """Even-odd test of the point (x, y) against the polygon."""
    hit = False
    n = len(poly)
    for i in range(n):
        x1, y1 = poly[i]
        x2, y2 = poly[(i + 1) % n]
        if (y1 > y) != (y2 > y):
            xc = x1 + (y - y1) * (x2 - x1) / (y2 - y1)
            if x < xc:
                hit = not hit
    return hit


def draw(size):
    grid = [['transparent'] * size for _ in range(size)]
    u = size / 32.0  # the drawing is laid out on a 32-unit square

    def rect(x0, y0, x1, y1, colour):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                grid[y][x] = colour

    if size == 32:
        body = (8, 3, 23, 28)
        pin_rows = range(5, 27, 4)
        pin_h = 2
        pin_w = 3
    else:
        body = (4, 1, 11, 14)
        pin_rows = range(2, 14, 3)
        pin_h = 2
        pin_w = 2
    bx0, by0, bx1, by1 = body
    for py in pin_rows:
        rect(bx0 - pin_w, py, bx0 - 1, py + pin_h - 1, 'silver')
        rect(bx1 + 1, py, bx1 + pin_w, py + pin_h - 1, 'silver')
    rect(bx0, by0, bx1, by1, 'black')
    rect(bx0 + 1, by0 + 1, bx1 - 1, by1 - 1, 'navy' if size == 32 else 'black')
    # The notch that marks pin 1's end.
    mid = (bx0 + bx1) // 2
    notch = 2 if size == 32 else 1
    rect(mid - notch + 1, by0, mid + notch, by0 + notch - 1, 'gray')

    bolt = [(21, 0), (9, 17), (16, 17), (11, 32), (25, 12), (18, 12), (25, 0)]
    bolt = [(x * u, y * u) for x, y in bolt]
    fill = [[inside(bolt, x + 0.5, y + 0.5) for x in range(size)] for y in range(size)]
    for y in range(size):
        for x in range(size):
            if fill[y][x]:
                edge = any(not (0 <= x + dx < size and 0 <= y + dy < size and fill[y + dy][x + dx])
                           for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))
                grid[y][x] = 'olive' if edge and size == 32 else 'yellow'
    return grid


def xpm(name, grid):
    used = sorted({c for row in grid for c in row}, key=lambda c: PALETTE[c][0])
    size = len(grid)
    lines = ['/* XPM */', 'static const char* const %s[] = {' % name,
             '"%d %d %d 1",' % (size, size, len(used))]
    lines += ['"%s c %s",' % PALETTE[c] for c in used]
    rows = ['"%s"' % ''.join(PALETTE[c][0] for c in row) for row in grid]
    lines += [r + ',' for r in rows[:-1]] + [rows[-1], '};', '']
    return '\n'.join(lines)


if __name__ == '__main__':
    out = sys.argv[1] if len(sys.argv) > 1 else '.'
    for size in (32, 16):
        name = 'flash%d_xpm' % size
        with open('%s/flash%d.xpm' % (out, size), 'w') as f:
            f.write(xpm(name, draw(size)))
