"""Reads the 24-bit bitmaps the driver saves, for pixel checks."""
import struct


class Bitmap:
    def __init__(self, path):
        with open(path, "rb") as f:
            data = f.read()
        if data[:2] != b"BM":
            raise ValueError(f"{path}: not a bitmap")
        offset = struct.unpack_from("<I", data, 10)[0]
        width, height, _, bits = struct.unpack_from("<iiHH", data, 18)
        if bits != 24:
            raise ValueError(f"{path}: {bits} bits per pixel, expected 24")
        self.path = path
        self.width = width
        self.height = abs(height)
        self._bottom_up = height > 0
        self._stride = (width * 3 + 3) & ~3
        self._data = data
        self._offset = offset

    def pixel(self, x, y):
        """(red, green, blue) at x, y counted from the top left."""
        row = self.height - 1 - y if self._bottom_up else y
        i = self._offset + row * self._stride + x * 3
        b, g, r = self._data[i:i + 3]
        return (r, g, b)

    def pixels(self, left, top, width, height):
        for y in range(top, top + height):
            for x in range(left, left + width):
                yield x, y, self.pixel(x, y)
