"""Reading a product folder's INI files."""
import configparser

from product_compiler.errors import ProductError

def read_ini(path, section, keys, optional=()):
    """The one section of a UTF-8 ini file with exactly these keys (the
    optional ones may be left out), every value non-empty."""
    parser = configparser.ConfigParser(interpolation=None, comment_prefixes=(";",),
                                       inline_comment_prefixes=None, delimiters=("=",),
                                       empty_lines_in_values=False)
    parser.optionxform = str  # keys are case-sensitive names
    try:
        with open(path, encoding="utf-8") as f:
            parser.read_file(f)
    except FileNotFoundError:
        raise ProductError(path, None, "no such file")
    except UnicodeDecodeError as e:
        raise ProductError(path, None, f"not UTF-8 (byte {e.start})")
    except configparser.DuplicateOptionError as e:
        raise ProductError(path, e.option, f"given twice (line {e.lineno})")
    except configparser.DuplicateSectionError as e:
        raise ProductError(path, None, f"section [{e.section}] given twice")
    except configparser.MissingSectionHeaderError as e:
        raise ProductError(path, None, f"line {e.lineno}: a value before the [{section}] line")
    except configparser.Error as e:
        raise ProductError(path, None, str(e).splitlines()[0])
    others = [s for s in parser.sections() if s != section]
    if others or not parser.has_section(section):
        raise ProductError(path, None, f"expected one section, [{section}], found "
                           + ", ".join(f"[{s}]" for s in parser.sections()) if parser.sections()
                           else f"no [{section}] section")
    values = dict(parser.items(section))
    for key in values:
        if key not in keys and key not in optional:
            raise ProductError(path, key, "unknown key (known: " + ", ".join(list(keys) + list(optional)) + ")")
    for key in keys:
        if key not in values:
            raise ProductError(path, key, "missing")
    for key, value in values.items():
        value = value.strip()
        if value.startswith('"') and value.endswith('"') and len(value) >= 2:
            value = value[1:-1]  # quotes keep leading or trailing spaces
        if not value:
            raise ProductError(path, key, "empty")
        if any(ord(c) < 32 for c in value):
            raise ProductError(path, key, "holds a control character")
        values[key] = value
    return values

