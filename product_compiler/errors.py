"""What a product folder's reader says when a value is wrong: one line,
"<file>: <key>: <what is wrong>"."""


def q(text):
    """A value as the maker wrote it, in quotes."""
    return f"'{text}'"


class ProductError(Exception):
    """One bad value: the file, the key and what is wrong."""

    def __init__(self, path, key, what):
        super().__init__(f"{path}: {key}: {what}" if key else f"{path}: {what}")
