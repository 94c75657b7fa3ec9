"""color(): the colour notations people write, as the (r, g, b, a) tuple of
ints 0..255 that every gradient takes.

Importing this module imports nothing heavy: a pygame.Color is recognised
through pygame's module only when pygame has already been imported (a value
cannot be one otherwise).
"""

from __future__ import annotations

import operator
import sys
from collections.abc import Sequence
from typing import TYPE_CHECKING, TypeAlias, TypeIs, Union, cast

if TYPE_CHECKING:
    import pygame

__all__ = ["NAMED_COLORS", "RGBA", "ColorLike", "color"]

RGBA: TypeAlias = tuple[int, int, int, int]
# What color() accepts (a str is a hex notation or a CSS colour name).
ColorLike: TypeAlias = Union[str, Sequence[int], "pygame.Color"]

_ACCEPTED = ("accepted: '#rgb', '#rgba', '#rrggbb' or '#rrggbbaa' (hex digits, any case); "
             "a CSS colour name such as 'rebeccapurple' or 'transparent'; a pygame.Color; "
             "or 3 or 4 ints 0..255 (red, green, blue[, alpha]) in a tuple or list")

# The named colours of CSS Color Module Level 4 as 0xRRGGBB, and
# "transparent" (see NAMED_COLORS).
_CSS_NAMES = {
    "aliceblue": 0xF0F8FF, "antiquewhite": 0xFAEBD7, "aqua": 0x00FFFF,
    "aquamarine": 0x7FFFD4, "azure": 0xF0FFFF, "beige": 0xF5F5DC, "bisque": 0xFFE4C4,
    "black": 0x000000, "blanchedalmond": 0xFFEBCD, "blue": 0x0000FF,
    "blueviolet": 0x8A2BE2, "brown": 0xA52A2A, "burlywood": 0xDEB887,
    "cadetblue": 0x5F9EA0, "chartreuse": 0x7FFF00, "chocolate": 0xD2691E,
    "coral": 0xFF7F50, "cornflowerblue": 0x6495ED, "cornsilk": 0xFFF8DC,
    "crimson": 0xDC143C, "cyan": 0x00FFFF, "darkblue": 0x00008B, "darkcyan": 0x008B8B,
    "darkgoldenrod": 0xB8860B, "darkgray": 0xA9A9A9, "darkgreen": 0x006400,
    "darkgrey": 0xA9A9A9, "darkkhaki": 0xBDB76B, "darkmagenta": 0x8B008B,
    "darkolivegreen": 0x556B2F, "darkorange": 0xFF8C00, "darkorchid": 0x9932CC,
    "darkred": 0x8B0000, "darksalmon": 0xE9967A, "darkseagreen": 0x8FBC8F,
    "darkslateblue": 0x483D8B, "darkslategray": 0x2F4F4F, "darkslategrey": 0x2F4F4F,
    "darkturquoise": 0x00CED1, "darkviolet": 0x9400D3, "deeppink": 0xFF1493,
    "deepskyblue": 0x00BFFF, "dimgray": 0x696969, "dimgrey": 0x696969,
    "dodgerblue": 0x1E90FF, "firebrick": 0xB22222, "floralwhite": 0xFFFAF0,
    "forestgreen": 0x228B22, "fuchsia": 0xFF00FF, "gainsboro": 0xDCDCDC,
    "ghostwhite": 0xF8F8FF, "gold": 0xFFD700, "goldenrod": 0xDAA520, "gray": 0x808080,
    "green": 0x008000, "greenyellow": 0xADFF2F, "grey": 0x808080, "honeydew": 0xF0FFF0,
    "hotpink": 0xFF69B4, "indianred": 0xCD5C5C, "indigo": 0x4B0082, "ivory": 0xFFFFF0,
    "khaki": 0xF0E68C, "lavender": 0xE6E6FA, "lavenderblush": 0xFFF0F5,
    "lawngreen": 0x7CFC00, "lemonchiffon": 0xFFFACD, "lightblue": 0xADD8E6,
    "lightcoral": 0xF08080, "lightcyan": 0xE0FFFF, "lightgoldenrodyellow": 0xFAFAD2,
    "lightgray": 0xD3D3D3, "lightgreen": 0x90EE90, "lightgrey": 0xD3D3D3,
    "lightpink": 0xFFB6C1, "lightsalmon": 0xFFA07A, "lightseagreen": 0x20B2AA,
    "lightskyblue": 0x87CEFA, "lightslategray": 0x778899, "lightslategrey": 0x778899,
    "lightsteelblue": 0xB0C4DE, "lightyellow": 0xFFFFE0, "lime": 0x00FF00,
    "limegreen": 0x32CD32, "linen": 0xFAF0E6, "magenta": 0xFF00FF, "maroon": 0x800000,
    "mediumaquamarine": 0x66CDAA, "mediumblue": 0x0000CD, "mediumorchid": 0xBA55D3,
    "mediumpurple": 0x9370DB, "mediumseagreen": 0x3CB371, "mediumslateblue": 0x7B68EE,
    "mediumspringgreen": 0x00FA9A, "mediumturquoise": 0x48D1CC,
    "mediumvioletred": 0xC71585, "midnightblue": 0x191970, "mintcream": 0xF5FFFA,
    "mistyrose": 0xFFE4E1, "moccasin": 0xFFE4B5, "navajowhite": 0xFFDEAD, "navy": 0x000080,
    "oldlace": 0xFDF5E6, "olive": 0x808000, "olivedrab": 0x6B8E23, "orange": 0xFFA500,
    "orangered": 0xFF4500, "orchid": 0xDA70D6, "palegoldenrod": 0xEEE8AA,
    "palegreen": 0x98FB98, "paleturquoise": 0xAFEEEE, "palevioletred": 0xDB7093,
    "papayawhip": 0xFFEFD5, "peachpuff": 0xFFDAB9, "peru": 0xCD853F, "pink": 0xFFC0CB,
    "plum": 0xDDA0DD, "powderblue": 0xB0E0E6, "purple": 0x800080,
    "rebeccapurple": 0x663399, "red": 0xFF0000, "rosybrown": 0xBC8F8F,
    "royalblue": 0x4169E1, "saddlebrown": 0x8B4513, "salmon": 0xFA8072,
    "sandybrown": 0xF4A460, "seagreen": 0x2E8B57, "seashell": 0xFFF5EE, "sienna": 0xA0522D,
    "silver": 0xC0C0C0, "skyblue": 0x87CEEB, "slateblue": 0x6A5ACD, "slategray": 0x708090,
    "slategrey": 0x708090, "snow": 0xFFFAFA, "springgreen": 0x00FF7F,
    "steelblue": 0x4682B4, "tan": 0xD2B48C, "teal": 0x008080, "thistle": 0xD8BFD8,
    "tomato": 0xFF6347, "turquoise": 0x40E0D0, "violet": 0xEE82EE, "wheat": 0xF5DEB3,
    "white": 0xFFFFFF, "whitesmoke": 0xF5F5F5, "yellow": 0xFFFF00,
    "yellowgreen": 0x9ACD32,
}

# Lower-case CSS colour name -> (r, g, b, a): every named colour opaque, and
# "transparent" as transparent black.
NAMED_COLORS: dict[str, RGBA] = {
    name: (rgb >> 16, (rgb >> 8) & 0xFF, rgb & 0xFF, 255) for name, rgb in _CSS_NAMES.items()
}
NAMED_COLORS["transparent"] = (0, 0, 0, 0)

_HEX_DIGITS = frozenset("0123456789abcdefABCDEF")


def _type_name(value: object) -> str:
    # Read from type itself: a metaclass cannot stand in for it.
    name = type.__dict__["__qualname__"].__get__(type(value))
    return name if isinstance(name, str) else "?"


def _shown(value: object) -> str:
    """A short repr of `value` that runs none of its own code: the builtin
    types are spelled out (strings and bytes cut short, huge ints by their
    size), anything else shows as <TypeName object>."""
    if value is None or type(value) is bool:
        return repr(value)
    if isinstance(value, int):
        bits = int.bit_length(value)
        return int.__repr__(value) if bits <= 64 else f"<int of {bits} bits>"
    if isinstance(value, float):
        return float.__repr__(value)
    if isinstance(value, str):
        more = "..." if str.__len__(value) > 40 else ""
        return str.__repr__(str.__getitem__(value, slice(0, 40))) + more
    if isinstance(value, bytes):
        more = "..." if bytes.__len__(value) > 40 else ""
        return bytes.__repr__(bytes.__getitem__(value, slice(0, 40))) + more
    return f"<{_type_name(value)} object>"


def _shown_items(items: tuple[object, ...], brackets: str) -> str:
    parts = [_shown(c) for c in items[:6]] + (["..."] if len(items) > 6 else [])
    trailing = "," if brackets == "()" and len(items) == 1 else ""
    return brackets[0] + ", ".join(parts) + trailing + brackets[1]


def _refuse(value: object, why: str = "", *, shown: str | None = None) -> ValueError:
    try:
        text = _shown(value) if shown is None else shown
        kind = _type_name(value)
    except Exception:  # a broken type: nothing is left to show
        text, kind = "<unprintable>", "?"
    article = "an" if kind[:1] in tuple("aeiouAEIOU") else "a"
    reason = f": {why}" if why else ""
    return ValueError(f"not a colour: {text} ({article} {kind}{reason}); {_ACCEPTED}")


def _from_hex(text: str, value: object) -> RGBA:
    digits = text[1:]
    if not digits or not set(digits) <= _HEX_DIGITS or len(digits) not in (3, 4, 6, 8):
        raise _refuse(value, "a hex colour is # and 3, 4, 6 or 8 hex digits")
    if len(digits) <= 4:
        digits = "".join(d * 2 for d in digits)
    if len(digits) == 6:
        digits += "ff"
    n = int(digits, 16)
    return (n >> 24, (n >> 16) & 0xFF, (n >> 8) & 0xFF, n & 0xFF)


def _from_components(value: object, items: tuple[object, ...], brackets: str) -> RGBA:
    shown = _shown_items(items, brackets)
    if len(items) not in (3, 4):
        count = f"{len(items)} component" + ("" if len(items) == 1 else "s")
        raise _refuse(value, count, shown=shown)
    out: list[int] = []
    for c in items:
        if type(c) is bool:
            raise _refuse(value, "a component is a bool, not an int", shown=shown)
        try:
            level = operator.index(c)  # type: ignore[arg-type]  # refused below
        except TypeError:
            raise _refuse(value, f"a component is a {_type_name(c)}, not an int",
                          shown=shown) from None
        except Exception as e:
            raise _refuse(value, f"a component raised {_type_name(e)}", shown=shown) from e
        if not 0 <= level <= 255:
            raise _refuse(value, f"component {_shown(level)} is outside 0..255", shown=shown)
        out.append(level)
    if len(out) == 3:
        out.append(255)
    return (out[0], out[1], out[2], out[3])


def _is_pygame_color(value: object) -> TypeIs[pygame.Color]:
    pygame_module = sys.modules.get("pygame")
    kind = getattr(pygame_module, "Color", None)
    # By the value's own type: isinstance would ask its __class__.
    return isinstance(kind, type) and issubclass(type(value), kind)


def color(value: ColorLike) -> RGBA:
    """The colour `value` as (red, green, blue, alpha), ints 0..255 each.

    Accepts:

    - '#rgb', '#rgba', '#rrggbb', '#rrggbbaa': hex digits in any case (one
      digit d stands for dd); without alpha the colour is opaque.
    - A CSS colour name (CSS Color Module Level 4), in any ASCII case: 'red',
      'rebeccapurple', 'grey' or 'gray', ...; 'transparent' is (0, 0, 0, 0).
      Surrounding whitespace is ignored in names and hex notations.
    - A pygame.Color.
    - A tuple or list of 3 or 4 ints 0..255 (red, green, blue[, alpha]);
      three components are opaque (alpha 255).

    Raises ValueError for anything else, saying what was given and what is
    accepted.
    """
    cls = type(value)
    if issubclass(cls, str):
        text = str.strip(cast(str, value))
        if text.startswith("#"):
            return _from_hex(text, value)
        # CSS names are ASCII and match ASCII case-insensitively: str.lower
        # would fold other letters too (KELVIN SIGN to k).
        found = NAMED_COLORS.get(text.lower()) if text.isascii() else None
        if found is None:
            raise _refuse(value, "no CSS colour has that name")
        return found
    if _is_pygame_color(value):
        try:  # a subclass may give its own r, g, b, a
            return _from_components(value, (value.r, value.g, value.b, value.a), "()")
        except ValueError:
            raise
        except Exception as e:
            raise _refuse(value, f"reading it raised {_type_name(e)}") from e
    if issubclass(cls, (tuple, list)):
        # Read once, before its length is judged: a subclass's len() and
        # iteration need not agree.
        try:
            items = tuple(cast(Sequence[object], value))
        except Exception as e:
            raise _refuse(value, f"reading it raised {_type_name(e)}") from e
        return _from_components(value, items, "()" if issubclass(cls, tuple) else "[]")
    raise _refuse(value)
