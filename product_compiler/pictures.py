"""The product folder's pictures, turned into the forms the launcher
carries: a 24-bit 350 x 350 bitmap, and for each button an icon of 32 x 32
images: a maker's picture keeps its colours in a 24-bit image, with a
16-colour image of the standard palette beside it for palette displays."""
import io
import struct
from contextlib import contextmanager

from product_compiler.errors import ProductError
from product_compiler.files import PICTURE_LIMIT, read_input
from product_compiler.tables import LAYOUT

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


def onto_face(rgba):
    """Each partly transparent pixel blended onto the buttons' face colour,
    where the icon is seen, and made opaque; fully transparent pixels stay
    transparent."""
    from PIL import Image
    face = LAYOUT["colours"]["ButtonFace"]
    raw = bytearray(rgba.tobytes())
    for i in range(0, len(raw), 4):
        alpha = raw[i + 3]
        if 0 < alpha < 255:
            for c in range(3):
                raw[i + c] = (raw[i + c] * alpha + face[c] * (255 - alpha) + 127) // 255
            raw[i + 3] = 255
    return Image.frombytes("RGBA", rgba.size, bytes(raw))


def icon_images(path, key, data):
    """The 32 x 32 image of a picture (of an .ico, the largest-depth one),
    each pixel opaque or fully transparent."""
    if data.startswith(ICO_MAGIC):
        image = icon_image(path, key, data)
    else:
        image = open_picture(path, key, data, ICON_SIZE, "a button's picture")
    return onto_face(rgba_pixels(image))


def dib_size(bits):
    """Bytes of a 32 x 32 icon image of 4 or 24 bits: header, colour table,
    pixels (rows of whole double words either way) and mask."""
    return 40 + (64 if bits == 4 else 0) + ICON_SIZE * ICON_SIZE * bits // 8 + 4 * ICON_SIZE


# The icons the launcher carries, by their images' (colours, bits): a
# 16-colour one and a 24-bit one (the default product's setup and exit
# icons), and what a maker's picture becomes: the 24-bit image first, then
# the 16-colour one. Windows loads the image of the group's entries that
# suits the display: on 16 and 256 colours the 16-colour one, deeper the
# 24-bit one (it counts every depth from 8 bits up as equal, and takes the
# first of those).
CARRIED_FORMS = [[(16, 4)], [(0, 24)], [(0, 24), (16, 4)]]


def carried_as_is(data):
    """Whether an icon file is already one the launcher carries: 32 x 32
    images of one of those forms, each an uncompressed DIB of its depth,
    one after another behind the directory, and nothing after them."""
    if len(data) < 6 or data[:4] != ICO_MAGIC:
        return False
    count = struct.unpack_from("<H", data, 4)[0]
    at = 6 + 16 * count
    if count not in (1, 2) or len(data) < at:
        return False
    forms = []
    for i in range(count):
        width, height, colours, reserved, planes, bits, size, offset = \
            struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        if bits not in (4, 24) \
                or (width, height, reserved, planes, offset, size) != (ICON_SIZE, ICON_SIZE, 0, 1, at, dib_size(bits)) \
                or offset + size > len(data) \
                or struct.unpack_from("<IiiHHI", data, offset) != (40, ICON_SIZE, 2 * ICON_SIZE, 1, bits, 0):
            return False
        forms.append((colours, bits))
        at += size
    return at == len(data) and forms in CARRIED_FORMS


def icon_file(images):
    """An icon file of 32 x 32 images, each (colours, bits, image bytes)."""
    directory = struct.pack("<HHH", 0, 1, len(images))
    at = 6 + 16 * len(images)
    for colours, bits, image in images:
        directory += struct.pack("<BBBBHHII", ICON_SIZE, ICON_SIZE, colours, 0, 1, bits, len(image), at)
        at += len(image)
    return directory + b"".join(image for _, _, image in images)


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


def sixteen_colour_image(rgba):
    """32 x 32, the 16 standard colours dithered, 4 bits a pixel, with its mask."""
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
    return header + table + bytes(pixels) + and_mask(rgba)


def true_colour_image(rgba):
    """32 x 32, 24 bits a pixel, with its mask."""
    raw = rgba.tobytes()
    pixels = bytearray()
    for y in range(ICON_SIZE - 1, -1, -1):
        for x in range(ICON_SIZE):
            r, g, b, a = raw[(y * ICON_SIZE + x) * 4:(y * ICON_SIZE + x) * 4 + 4]
            pixels += bytes((b, g, r)) if a else b"\0\0\0"
    header = struct.pack("<IiiHHIIiiII", 40, ICON_SIZE, 2 * ICON_SIZE, 1, 24, 0,
                         len(pixels) + 128, 0, 0, 0, 0)
    return header + bytes(pixels) + and_mask(rgba)


def convert_icon(path, key):
    """A button's icon, from the picture at path given for key: PNG, BMP or
    an .ico (its 32 x 32 image). An icon already in a form the launcher
    carries goes in as it is; any other picture becomes a 24-bit image and a
    16-colour one."""
    data = read_input(path, key, PICTURE_LIMIT)
    rgba = icon_images(path, key, data)  # readable and 32 x 32
    if carried_as_is(data):
        return data
    return icon_file([(0, 24, true_colour_image(rgba)), (16, 4, sixteen_colour_image(rgba))])
