"""The product folder's pictures, turned into the forms the launcher
carries: a 24-bit 350 x 350 bitmap, a 16-colour icon for Setup and a
24-bit icon for Exit."""
import os
import struct

from product_compiler.errors import ProductError

ARTWORK_SIZE = 350
ICON_SIZE = 32
PIXELS_PER_METRE = 3780  # 96 dots per inch
# The standard Windows 16-colour palette, in the order of its indices.
STANDARD_16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]



def open_image(path, key):
    try:
        from PIL import Image
    except ImportError:
        raise ProductError(path, key, "cannot read pictures: Pillow (python3-pil) is not installed")
    if not os.path.isfile(path):
        raise ProductError(path, key, "no such file")
    try:
        image = Image.open(path)
        image.load()
    except Exception as e:
        raise ProductError(path, key, f"not a picture Pillow can read ({e})")
    if image.format not in ("BMP", "DIB", "PNG", "ICO"):
        raise ProductError(path, key, f"a {image.format} picture; give a BMP or a PNG"
                           + (" or an ICO" if key != "artwork" else ""))
    return image


def rgba_pixels(image):
    return image.convert("RGBA")


def check_opaque(path, key, image):
    rgba = rgba_pixels(image)
    alpha = rgba.getchannel("A")
    low, _ = alpha.getextrema()
    if low < 255:
        raise ProductError(path, key, "has transparent pixels, which a bitmap of 24 bits cannot "
                           "keep; flatten it onto its background first")
    return rgba.convert("RGB")


def canonical_bmp(rgb):
    """A 24-bit bottom-up BI_RGB bitmap file at 96 dots per inch."""
    width, height = rgb.size
    stride = (width * 3 + 3) & ~3
    pixels = bytearray()
    raw = rgb.tobytes()
    for y in range(height - 1, -1, -1):
        row = raw[y * width * 3:(y + 1) * width * 3]
        bgr = bytearray(len(row))
        bgr[0::3], bgr[1::3], bgr[2::3] = row[2::3], row[1::3], row[0::3]
        pixels += bgr + b"\0" * (stride - width * 3)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels),
                       PIXELS_PER_METRE, PIXELS_PER_METRE, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    return header + info + bytes(pixels)


def convert_artwork(path):
    key = "artwork"
    with open(path, "rb") as f:
        data = f.read() if os.path.isfile(path) else b""
    image = open_image(path, key)
    if image.size != (ARTWORK_SIZE, ARTWORK_SIZE):
        raise ProductError(path, key, f"{image.size[0]} x {image.size[1]} pixels; the window's "
                           f"picture must be {ARTWORK_SIZE} x {ARTWORK_SIZE}")
    rgb = check_opaque(path, key, image)
    bmp = canonical_bmp(rgb)
    # A file already in the launcher's form goes in as it is, byte for byte.
    return data if data == bmp else bmp


def icon_images(path, key, image):
    """The 32 x 32 image of a picture, from an .ico the largest-depth one."""
    if image.format == "ICO":
        sizes = image.info.get("sizes") or image.ico.sizes()
        if (ICON_SIZE, ICON_SIZE) not in sizes:
            found = ", ".join(f"{w} x {h}" for w, h in sorted(sizes))
            raise ProductError(path, key, f"an icon with images of {found}; it needs a "
                               f"{ICON_SIZE} x {ICON_SIZE} one")
        image = image.ico.getimage((ICON_SIZE, ICON_SIZE))
    if image.size != (ICON_SIZE, ICON_SIZE):
        raise ProductError(path, key, f"{image.size[0]} x {image.size[1]} pixels; a button's "
                           f"picture must be {ICON_SIZE} x {ICON_SIZE}")
    rgba = rgba_pixels(image)
    alphas = set(rgba.getchannel("A").getdata())
    if alphas - {0, 255}:
        raise ProductError(path, key, "has partly transparent pixels, which an icon of this kind "
                           "cannot keep (each pixel is opaque or fully transparent)")
    return rgba


def icon_file(width, height, colours, bits, image):
    entry = struct.pack("<BBBBHHII", width, height, colours, 0, 1, bits, len(image), 22)
    return struct.pack("<HHH", 0, 1, 1) + entry + image


def and_mask(rgba):
    """The 1-bit mask, bottom-up, rows padded to 4 bytes: 1 is transparent."""
    alpha = rgba.getchannel("A").tobytes()
    rows = []
    for y in range(ICON_SIZE - 1, -1, -1):
        bits = 0
        for x in range(ICON_SIZE):
            bits = (bits << 1) | (1 if alpha[y * ICON_SIZE + x] == 0 else 0)
        rows.append(struct.pack(">I", bits))
    return b"".join(rows)


def convert_setup_icon(path):
    """32 x 32, the 16 standard colours, 4 bits a pixel, with its mask."""
    from PIL import Image
    key = "setup_icon"
    rgba = icon_images(path, key, open_image(path, key))
    palette = Image.new("P", (1, 1))
    flat = [c for colour in STANDARD_16 for c in colour]
    palette.putpalette(flat * 16)
    opaque = Image.new("RGB", rgba.size)
    opaque.paste(rgba.convert("RGB"), mask=rgba.getchannel("A"))
    indices = opaque.quantize(palette=palette, dither=Image.Dither.FLOYDSTEINBERG).tobytes()
    alpha = rgba.getchannel("A").tobytes()
    pixels = bytearray()
    for y in range(ICON_SIZE - 1, -1, -1):
        for x in range(0, ICON_SIZE, 2):
            a = indices[y * ICON_SIZE + x] % 16 if alpha[y * ICON_SIZE + x] else 0
            b = indices[y * ICON_SIZE + x + 1] % 16 if alpha[y * ICON_SIZE + x + 1] else 0
            pixels.append(a << 4 | b)
    header = struct.pack("<IiiHHIIiiII", 40, ICON_SIZE, 2 * ICON_SIZE, 1, 4, 0,
                         len(pixels) + 128, 0, 0, 16, 0)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in STANDARD_16)
    return icon_file(ICON_SIZE, ICON_SIZE, 16, 4, header + table + bytes(pixels) + and_mask(rgba))


def convert_exit_icon(path):
    """32 x 32, 24 bits a pixel, with its mask."""
    key = "exit_icon"
    rgba = icon_images(path, key, open_image(path, key))
    raw = rgba.tobytes()
    pixels = bytearray()
    for y in range(ICON_SIZE - 1, -1, -1):
        for x in range(ICON_SIZE):
            r, g, b, a = raw[(y * ICON_SIZE + x) * 4:(y * ICON_SIZE + x) * 4 + 4]
            pixels += bytes((b, g, r)) if a else b"\0\0\0"
    header = struct.pack("<IiiHHIIiiII", 40, ICON_SIZE, 2 * ICON_SIZE, 1, 24, 0,
                         len(pixels) + 128, 0, 0, 0, 0)
    return icon_file(ICON_SIZE, ICON_SIZE, 0, 24, header + bytes(pixels) + and_mask(rgba))


def convert_icon(path, key, converter, colours, bits):
    data = open(path, "rb").read() if os.path.isfile(path) else b""
    # A one-image icon already of the kind the launcher carries goes in as it is.
    if len(data) >= 22 and data[:6] == struct.pack("<HHH", 0, 1, 1):
        width, height, count, _, planes, bit_count, size, offset = struct.unpack_from("<BBBBHHII", data, 6)
        if (width, height, count, bit_count, offset, offset + size) == \
                (ICON_SIZE, ICON_SIZE, colours, bits, 22, len(data)):
            image_header = struct.unpack_from("<IiiHH", data, 22)
            if image_header == (40, ICON_SIZE, 2 * ICON_SIZE, 1, bits):
                icon_images(path, key, open_image(path, key))  # readable, no lost transparency
                return data
    return converter(path)

