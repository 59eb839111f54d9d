#!/usr/bin/python3
"""Draws the example product's pictures with Pillow: the artwork (a forest
lake at dawn) as an 8-bit PNG, the Setup icon (a tree) and the Exit icon
(an open door) as 32 x 32 PNGs with transparent corners. Everything is
computed from fixed numbers, so every run draws the same files. Run once;
the files are kept beside it as a maker's own would be."""
import math
import os

from PIL import Image, ImageDraw

here = os.path.dirname(os.path.abspath(__file__))

SIZE = 350
HORIZON = 168
SUN_X = 172


def mix(a, b, t):
    t = min(max(t, 0.0), 1.0)
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def pine(d, x, base, height, colour):
    """A spruce of stacked tiers, its tip at base - height."""
    tiers = 4
    for k in range(tiers):
        top = base - height + k * height * 0.22
        bottom = top + height * 0.42
        half = height * (0.12 + 0.06 * k)
        d.polygon([(x, top), (x + half, bottom), (x - half, bottom)], fill=colour)
    d.rectangle((x - 1, base - height * 0.1, x + 1, base), fill=colour)


# The sky, lavender above, warm cream at the horizon: light and plain where
# the version line sits (x 56-300, y 64-88).
art = Image.new("RGB", (SIZE, SIZE))
d = ImageDraw.Draw(art)
for y in range(HORIZON):
    t = y / HORIZON
    d.line((0, y, SIZE - 1, y), fill=mix((196, 200, 236), (255, 232, 200), t ** 0.8))

# The sun, half risen, with a soft glow, between where the buttons stand.
for r in range(50, 22, -1):
    glow = mix((255, 210, 150), (255, 234, 200), (r - 22) / 28)
    d.ellipse((SUN_X - r, HORIZON - 8 - r, SUN_X + r, HORIZON - 8 + r), fill=glow)
d.ellipse((SUN_X - 21, HORIZON - 29, SUN_X + 21, HORIZON + 13), fill=(255, 192, 88))

# Three birds, high up and away from the text.
for bx, by in ((238, 34), (254, 26), (268, 38)):
    d.line((bx - 5, by - 3, bx, by), fill=(90, 80, 110), width=1)
    d.line((bx, by, bx + 5, by - 3), fill=(90, 80, 110), width=1)

# Far hills, misty blue, then the near forest along the shore: tall spruces
# at both edges, low ones in the middle below the version line.
hills = [(0, HORIZON)]
for x in range(0, SIZE + 1, 5):
    hills.append((x, HORIZON - 14 - 9 * math.sin(x / 37.0) - 5 * math.sin(x / 13.0 + 1.0)))
hills.append((SIZE, HORIZON))
d.polygon(hills, fill=(150, 150, 188))

forest = (34, 62, 58)
d.rectangle((0, HORIZON - 6, SIZE - 1, HORIZON), fill=forest)
trees = []
for i in range(36):
    x = i * 10 + (i * 7) % 5
    edge = min(x, SIZE - x)
    # Taller towards the edges, never into the version line's place.
    height = 26 + (i * 13) % 11 + max(0, 70 - edge) * 1.5
    if 48 <= x <= 308:
        height = min(height, HORIZON - 100)
    if abs(x - SUN_X) < 30:
        height = min(height, 12)
    trees.append((x, height))
for x, height in trees:
    pine(d, x, HORIZON, height, forest)

# The lake: the sky's warmth at the shore, deep blue at the bottom.
for y in range(HORIZON, SIZE):
    t = (y - HORIZON) / (SIZE - HORIZON)
    d.line((0, y, SIZE - 1, y), fill=mix((226, 200, 186), (60, 86, 130), t ** 0.7))

# The forest mirrored in the still water, short and dim.
mirror = (78, 92, 100)
d.rectangle((0, HORIZON, SIZE - 1, HORIZON + 5), fill=mirror)
for x, height in trees:
    h = height * 0.45
    d.polygon([(x, HORIZON + h), (x + h * 0.3, HORIZON), (x - h * 0.3, HORIZON)], fill=mirror)

# The sun's path on the water, in the gap between the buttons.
for k in range(12):
    y = HORIZON + 10 + k * 9
    half = 16 - k
    d.line((SUN_X - half, y, SUN_X + half, y), fill=mix((255, 214, 140), (190, 170, 170), k / 12), width=2)

# A few faint ripples, kept clear of the buttons (x 72-153, 192-273, y 232-297).
for y, x0, x1 in ((206, 40, 120), (214, 230, 320), (224, 90, 150), (312, 60, 140), (318, 210, 300)):
    c = art.getpixel((x0, y))
    d.line((x0, y, x1, y), fill=mix(c, (255, 255, 255), 0.18))

# Reeds on the near shore, in the corners below and beside the buttons.
reed = (40, 54, 40)
for i in range(14):
    x = 4 + i * 4
    top = 250 + (i * 17) % 40
    d.line((x, SIZE - 1, x + (i % 3) - 1, top), fill=reed, width=2)
    if i % 4 == 1:
        d.ellipse((x - 2, top - 12, x + 2, top + 2), fill=(92, 62, 40))
for i in range(12):
    x = 300 + i * 4
    top = 258 + (i * 23) % 36
    d.line((x, SIZE - 1, x + 1 - (i % 3), top), fill=reed, width=2)
    if i % 5 == 2:
        d.ellipse((x - 2, top - 12, x + 2, top + 2), fill=(92, 62, 40))
d.rectangle((0, 336, SIZE - 1, SIZE - 1), fill=(38, 50, 44))

art.convert("P", palette=Image.Palette.ADAPTIVE, colors=128).save(os.path.join(here, "jezioro.png"))

# The Setup icon: a round tree with a thin trunk (2 pixels wide, 11 long),
# in the 16 standard colours the button's icon keeps exactly; the corners
# are transparent.
GREEN, LIME, MAROON, BLACK = (0, 128, 0, 255), (0, 255, 0, 255), (128, 0, 0, 255), (0, 0, 0, 255)
icon = Image.new("RGBA", (32, 32), (0, 0, 0, 0))
d = ImageDraw.Draw(icon)
d.rectangle((15, 19, 16, 29), fill=MAROON)
d.ellipse((5, 0, 26, 18), fill=GREEN, outline=BLACK)
for x, y in ((11, 5), (14, 3), (9, 9), (17, 6), (12, 11), (20, 9)):
    d.rectangle((x, y, x + 1, y + 1), fill=LIME)
d.line((10, 30, 21, 30), fill=GREEN)
d.line((12, 31, 19, 31), fill=GREEN)
icon.save(os.path.join(here, "drzewo.png"))

# The Exit icon: an open door with an arrow leading out.
door = Image.new("RGBA", (32, 32), (0, 0, 0, 0))
d = ImageDraw.Draw(door)
d.rectangle((5, 2, 21, 29), fill=(70, 60, 50, 255), outline=(40, 30, 20, 255))
d.rectangle((7, 4, 19, 29), fill=(28, 24, 22, 255))
d.polygon([(7, 4), (14, 7), (14, 31), (7, 29)], fill=(176, 112, 56, 255), outline=(96, 56, 24, 255))
d.rectangle((12, 17, 12, 19), fill=(240, 210, 90, 255))
d.rectangle((16, 14, 25, 18), fill=(200, 40, 30, 255))
d.polygon([(25, 10), (30, 16), (25, 22)], fill=(200, 40, 30, 255))
door.save(os.path.join(here, "wyjscie.png"))
