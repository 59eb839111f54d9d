"""The product folder's pictures, turned into the forms the launcher
carries: a 24-bit 350 x 350 bitmap, a 16-colour icon for Setup and a
24-bit icon for Exit."""
import io
import struct
from contextlib import contextmanager

from product_compiler.errors import ProductError
from product_compiler.files import PICTURE_LIMIT, read_input

ARTWORK_SIZE = 350
ICON_SIZE = 32
PIXELS_PER_METRE = 3780  # 96 dots per inch
# The standard Windows 16-colour palette, in the order of its indices.
STANDARD_16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
ICO_MAGIC = b"\0\0\1\0"
PNG_MAGIC = b"\x89PNG\r\n\x1a\n"
# Pictures a maker may have but the launcher does not take, named when given.
OTHER_FORMATS = [(b"\xff\xd8\xff", "JPEG"), (b"GIF8", "GIF"), (b"II*\0", "TIFF"), (b"MM\0*", "TIFF"),
                 (b"8BPS", "PSD")]



def pillow(path, key):
    try:
        from PIL import Image
    except ImportError:
        raise ProductError(path, key, "cannot read pictures: Pillow (python3-pil) is not installed")
    return Image


@contextmanager
def sizes_checked_here(Image):
    """Pillow guards against pictures too large to decode as it opens them,
    with a warning on stderr (past twice its limit, an error). Here no pixel
    is decoded before the size read from the header is the one expected, so
    its guard is off while a picture is opened."""
    saved = Image.MAX_IMAGE_PIXELS
    Image.MAX_IMAGE_PIXELS = None
    try:
        yield
    finally:
        Image.MAX_IMAGE_PIXELS = saved


def unreadable(path, key, e):
    return ProductError(path, key, f"not a picture Pillow can read ({str(e) or type(e).__name__})")


def check_size(path, key, size, expected, what):
    if size != (expected, expected):
        raise ProductError(path, key, f"{size[0]} x {size[1]} pixels; {what} must be "
                           f"{expected} x {expected}")


def open_picture(path, key, data, expected, what):
    """A BMP or PNG from its bytes, decoded once its header gives the
    expected size."""
    Image = pillow(path, key)
    if data.startswith(ICO_MAGIC):
        raise ProductError(path, key, "an icon file; give a BMP or a PNG")
    try:
        with sizes_checked_here(Image):
            image = Image.open(io.BytesIO(data), formats=("BMP", "DIB", "PNG"))
    except Exception as e:
        other = next((name for magic, name in OTHER_FORMATS if data.startswith(magic)), None)
        if other:
            raise ProductError(path, key, f"a {other} picture; give a BMP or a PNG"
                               + (" or an ICO" if key != "artwork" else ""))
        raise unreadable(path, key, "neither a BMP nor a PNG" if isinstance(e, Image.UnidentifiedImageError) else e)
    check_size(path, key, image.size, expected, what)
    try:
        image.load()
    except Exception as e:
        raise unreadable(path, key, e)
    return image


def embedded_size(data, offset):
    """The size an icon file's image says in its own header (PNG or DIB)."""
    if data[offset:offset + 8] == PNG_MAGIC:
        return struct.unpack_from(">II", data, offset + 16)
    header_size = struct.unpack_from("<I", data, offset)[0]
    if header_size == 12:
        width, height = struct.unpack_from("<HH", data, offset + 4)
    else:
        width, height = struct.unpack_from("<ii", data, offset + 4)
    return width, abs(height) // 2  # the image and its mask


def icon_image(path, key, data):
    """An icon file's 32 x 32 image (the largest-depth one), picked by the
    file's header and decoded once its own header says 32 x 32."""
    Image = pillow(path, key)
    from PIL import IcoImagePlugin
    try:
        ico = IcoImagePlugin.IcoFile(io.BytesIO(data))
        sizes = ico.sizes()
    except Exception as e:
        raise unreadable(path, key, e)
    if (ICON_SIZE, ICON_SIZE) not in sizes:
        found = ", ".join(f"{w} x {h}" for w, h in sorted(sizes))
        raise ProductError(path, key, f"an icon with images of {found}; it needs a "
                           f"{ICON_SIZE} x {ICON_SIZE} one")
    index = ico.getentryindex((ICON_SIZE, ICON_SIZE))
    try:
        size = embedded_size(data, ico.entry[index]["offset"])
    except struct.error:
        raise unreadable(path, key, f"its {ICON_SIZE} x {ICON_SIZE} image is cut short")
    if size != (ICON_SIZE, ICON_SIZE):
        raise ProductError(path, key, f"the icon's {ICON_SIZE} x {ICON_SIZE} image is "
                           f"{size[0]} x {size[1]} pixels")
    try:
        with sizes_checked_here(Image):
            image = ico.frame(index)
            image.load()
    except Exception as e:
        raise unreadable(path, key, e)
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
    data = read_input(path, key, PICTURE_LIMIT)
    image = open_picture(path, key, data, ARTWORK_SIZE, "the window's picture")
    rgb = check_opaque(path, key, image)
    bmp = canonical_bmp(rgb)
    # A file already in the launcher's form goes in as it is, byte for byte.
    return data if data == bmp else bmp


def icon_images(path, key, data):
    """The 32 x 32 image of a picture, from an .ico the largest-depth one."""
    if data.startswith(ICO_MAGIC):
        image = icon_image(path, key, data)
    else:
        image = open_picture(path, key, data, ICON_SIZE, "a button's picture")
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


def convert_setup_icon(rgba):
    """32 x 32, the 16 standard colours, 4 bits a pixel, with its mask."""
    from PIL import Image
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


def convert_exit_icon(rgba):
    """32 x 32, 24 bits a pixel, with its mask."""
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
    data = read_input(path, key, PICTURE_LIMIT)
    rgba = icon_images(path, key, data)  # readable, no lost transparency
    # A one-image icon already of the kind the launcher carries goes in as it is.
    if len(data) >= 22 and data[:6] == struct.pack("<HHH", 0, 1, 1):
        width, height, count, _, planes, bit_count, size, offset = struct.unpack_from("<BBBBHHII", data, 6)
        if (width, height, count, bit_count, offset, offset + size) == \
                (ICON_SIZE, ICON_SIZE, colours, bits, 22, len(data)):
            image_header = struct.unpack_from("<IiiHH", data, 22)
            if image_header == (40, ICON_SIZE, 2 * ICON_SIZE, 1, bits):
                return data
    return converter(rgba)
