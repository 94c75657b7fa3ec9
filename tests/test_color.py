"""kesa_ui.core.color: hex notations, CSS colour names, pygame colours and
RGB(A) sequences as the (r, g, b, a) tuples the gradients take."""

import pytest

from kesa_ui.core import color
from kesa_ui.core.colors import NAMED_COLORS


@pytest.mark.parametrize("value, expected", [
    ("#0f8", (0, 255, 136, 255)),
    ("#0F8c", (0, 255, 136, 204)),
    ("#12aB5c", (18, 171, 92, 255)),
    ("#12ab5c80", (18, 171, 92, 128)),
    (" #FFF\n", (255, 255, 255, 255)),
    ("RebeccaPurple", (102, 51, 153, 255)),
    ("transparent", (0, 0, 0, 0)),
    # CSS, not X11: these four differ between the two lists.
    ("gray", (128, 128, 128, 255)), ("grey", (128, 128, 128, 255)),
    ("green", (0, 128, 0, 255)), ("maroon", (128, 0, 0, 255)), ("purple", (128, 0, 128, 255)),
    ("lightgoldenrodyellow", (250, 250, 210, 255)), ("KHAKI", (240, 230, 140, 255)),
    ([1, 2, 3], (1, 2, 3, 255)),
    ((0, 255, 7, 9), (0, 255, 7, 9)),
])
def test_notations_give_rgba_tuples(value, expected):
    got = color(value)
    assert got == expected and type(got) is tuple


def test_the_css_names():
    # The 148 named colours of CSS Color 4, and transparent.
    assert len(NAMED_COLORS) == 149
    assert all(name.islower() and name.isalpha() for name in NAMED_COLORS)
    assert NAMED_COLORS["aqua"] == NAMED_COLORS["cyan"] == (0, 255, 255, 255)
    assert NAMED_COLORS["fuchsia"] == NAMED_COLORS["magenta"] == (255, 0, 255, 255)


def test_pygame_colours():
    pygame = pytest.importorskip("pygame")
    assert color(pygame.Color(10, 20, 30)) == (10, 20, 30, 255)
    assert color(pygame.Color(1, 2, 3, 4)) == (1, 2, 3, 4)


@pytest.mark.parametrize("value, why", [
    ("#12345", "3, 4, 6 or 8 hex digits"), ("#ggg", "hex digits"), ("#", "hex digits"),
    ("0f8", "no CSS colour"), ("reddish", "no CSS colour"), ("", "no CSS colour"),
    ((1, 2), "2 components"), ([1, 2, 3, 4, 5], "5 components"),
    ((1, 2, 256), "256 is outside 0..255"), ((-1, 0, 0), "-1 is outside"),
    ((1.0, 2, 3), "float, not an int"), ((True, 0, 0), "bool"),
    (None, "NoneType"), (0xFF0000, "int"), (b"#fff", "bytes"),
])
def test_anything_else_is_refused_saying_what_and_what_is_accepted(value, why):
    assert_refused(value, repr(value), why)


def assert_refused(value, shown, why):
    with pytest.raises(ValueError) as info:
        color(value)
    message = str(info.value)
    assert message.startswith(f"not a colour: {shown} (") and why in message
    assert f" {type(value).__qualname__}" in message
    assert "accepted: '#rgb'" in message and "pygame.Color" in message


class Boom(Exception):
    pass


def boom(*_):
    raise Boom


class Lying(list):
    """A list whose len() does not count what it yields."""

    def __len__(self):
        return 3


Unprintable = type("Unprintable", (), {"__repr__": boom, "__index__": boom})
Unreadable = type("Unreadable", (tuple,), {"__iter__": boom})


@pytest.mark.parametrize("value, shown, why", [
    (10**5000, "<int of 16610 bits>", "an int"),
    ((10**5000, 0, 0), "(<int of 16610 bits>, 0, 0)", "is outside 0..255"),
    (Lying([1, 2]), "[1, 2]", "2 components"),
    (Lying([1, 2, 3, 4, 5]), "[1, 2, 3, 4, 5]", "5 components"),
    ("\u212Ahaki", "'\u212Ahaki'", "no CSS colour"),  # KELVIN SIGN, not K
    ("x" * 10**6, "'" + "x" * 40 + "'...", "no CSS colour"),
    (Unprintable(), "<Unprintable object>", "Unprintable"),
    ((Unprintable(), 0, 0), "(<Unprintable object>, 0, 0)", "raised Boom"),
    (Unreadable(), "<Unreadable object>", "reading it raised Boom"),
], ids=["huge", "huge component", "short", "long", "kelvin", "long text", "unprintable",
        "unprintable component", "unreadable"])
def test_hostile_values_get_the_colour_message_too(value, shown, why):
    assert_refused(value, shown, why)
