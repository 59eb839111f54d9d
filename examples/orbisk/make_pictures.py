#!/usr/bin/python3
"""Draws the example product's pictures with Pillow: the artwork as an
8-bit PNG, the Setup icon as a PNG with transparent corners, the Exit icon
as an .ico with 16, 32 and 48 pixel images. Run once; the files are kept
beside it as a maker's own would be."""
import math
import os

from PIL import Image, ImageDraw

here = os.path.dirname(os.path.abspath(__file__))

# The artwork: a globe on a pale sky, a light band for the version line.
art = Image.new("RGB", (350, 350), (226, 238, 250))
d = ImageDraw.Draw(art)
d.rectangle((0, 40, 349, 110), fill=(250, 250, 240))
d.ellipse((95, 120, 255, 280), fill=(30, 90, 170), outline=(10, 40, 90), width=3)
for lat in range(-60, 61, 30):
    y = 200 - 80 * math.sin(math.radians(lat))
    half = 80 * math.cos(math.radians(lat))
    d.line((175 - half, y, 175 + half, y), fill=(120, 170, 230))
for k in (-2, -1, 0, 1, 2):
    d.ellipse((175 - abs(k) * 25, 120, 175 + abs(k) * 25, 280), outline=(120, 170, 230))
d.polygon([(130, 170), (165, 150), (180, 185), (150, 215), (125, 200)], fill=(60, 160, 70))
d.polygon([(190, 215), (230, 200), (240, 240), (205, 255)], fill=(60, 160, 70))
d.rectangle((0, 330, 349, 349), fill=(40, 60, 110))
art.convert("P", palette=Image.Palette.ADAPTIVE, colors=64).save(os.path.join(here, "atlas.png"))

# The Setup icon: an orange map folded in three, corners left transparent.
icon = Image.new("RGBA", (32, 32), (0, 0, 0, 0))
d = ImageDraw.Draw(icon)
d.polygon([(3, 6), (12, 3), (20, 6), (29, 3), (29, 26), (20, 29), (12, 26), (3, 29)],
          fill=(255, 128, 0, 255), outline=(128, 0, 0, 255))
d.line((12, 3, 12, 26), fill=(128, 0, 0, 255))
d.line((20, 6, 20, 29), fill=(128, 0, 0, 255))
d.ellipse((14, 11, 19, 16), fill=(0, 0, 255, 255))
icon.save(os.path.join(here, "setup.png"))

# The Exit icon: a red sign with a white bar, at three sizes.
def sign(size):
    image = Image.new("RGBA", (size, size), (0, 0, 0, 0))
    d = ImageDraw.Draw(image)
    d.ellipse((1, 1, size - 2, size - 2), fill=(200, 30, 30, 255), outline=(90, 0, 0, 255))
    d.rectangle((size // 5, size * 2 // 5, size - size // 5 - 1, size * 3 // 5), fill=(255, 255, 255, 255))
    return image

sign(48).save(os.path.join(here, "exit.ico"), sizes=[(16, 16), (32, 32), (48, 48)],
              append_images=[sign(16), sign(32)])

# The Data button's icon: a blue folder with a white sheet, corners transparent.
icon = Image.new("RGBA", (32, 32), (0, 0, 0, 0))
d = ImageDraw.Draw(icon)
d.polygon([(2, 8), (12, 8), (15, 11), (29, 11), (29, 27), (2, 27)], fill=(40, 110, 200, 255),
          outline=(10, 40, 90, 255))
d.rectangle((7, 5, 24, 17), fill=(255, 255, 255, 255), outline=(90, 90, 90, 255))
d.rectangle((2, 14, 29, 27), fill=(60, 140, 230, 255), outline=(10, 40, 90, 255))
icon.save(os.path.join(here, "data.png"))
