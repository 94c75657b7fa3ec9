"""GradientRaylib and ClickGradient: construction, properties, colour
conversion, colour stops and the ClickGradient operations."""

import math
from fractions import Fraction
from pathlib import Path

import pytest
from hypothesis import given, settings, strategies as st

from kesa_ui.core import GradientDirection as Dir, GradientType
from kesa_ui.fast.ksraygrad.ksraygrad import ClickGradient, GradientRaylib
from kesa_ui.fast.ksvector2.ksvector2 import KsVector2
from kesa_ui.rendering.pygame.gradient import GradientPygame
from support import BLUE, BOTH, GREEN, RED, colors, f32, stops


def model_stops(weights):
    """The stop computation, step by step, in Python. A float32 sum is taken
    as the double sum rounded to float32, which is exact: a double has more
    than twice float32's precision plus two bits."""
    w = [f32(x) for x in weights]
    total = 0.0
    for x in w:  # not sum(): that compensates rounding
        total += x
    if not w or total <= 0:
        total = 1.0
    b, cur = [0.0], 0.0
    for x in w:
        cur = f32(cur + x / total)
        b.append(cur)
    n = len(w)
    if n < 2:
        return [0.0] * n
    out = []
    for i in range(n):
        if i == 0:
            rb = b[1]
            out.append(f32(max(0.0, rb - min(rb, 1.0 - rb))))
        elif i == n - 1:
            lb = b[n - 1]
            out.append(f32(min(1.0, lb + min(lb, 1.0 - lb))))
        else:
            out.append(f32(f32(b[i] + b[i + 1]) * 0.5))
    return out


# --- construction --------------------------------------------------------------


def test_defaults():
    g = GradientRaylib([RED, BLUE])
    assert g.type is GradientType.Linear and g.angle == 0.0 and g.transparency == 255
    assert (g.center.x, g.center.y) == (0.5, 0.5)
    assert colors(g) == [(1, 0, 0, 1), (0, 0, 1, 1)] and stops(g) == [0.0, 1.0]
    assert ClickGradient([RED, BLUE]).type is GradientType.Radial


@pytest.mark.parametrize(
    "kind, direction, angle, center",
    [
        (GradientType.Linear, Dir.TopLeft, 225.0, (0.5, 0.5)),
        (GradientType.Radial, Dir.TopLeft, 0.0, (0.0, 0.0)),
        (GradientType.Linear, Dir.Center, 0.0, (0.5, 0.5)),
        (GradientType.Radial, Dir.Right, 0.0, (0.5, 0.5)),
        (GradientType.Radial, Dir.BottomCenter, 0.0, (0.5, 1.0)),
        (GradientType.Linear, Dir.BottomLeft, 135.0, (0.5, 0.5)),
        (GradientType.Linear, 30, 30.0, (0.5, 0.5)),
        (GradientType.Linear, True, 1.0, (0.5, 0.5)),
        (GradientType.Linear, "Top", 0.0, (0.5, 0.5)),
        (GradientType.Radial, (0.25, 0.75), 0.0, (0.25, 0.75)),
        (GradientType.Radial, [0.25, 0.75], 0.0, (0.5, 0.5)),
        (None, Dir.TopLeft, 0.0, (0.5, 0.5)),
    ],
)
def test_direction_tables(kind, direction, angle, center):
    g = GradientRaylib([RED, BLUE], kind, direction)
    assert g.angle == angle and (g.center.x, g.center.y) == center
    assert stops(g) == [0.0, 1.0]  # colours are built whatever the kind


def test_angle_and_center_override_direction():
    g = GradientRaylib([RED], GradientType.Linear, Dir.TopLeft, angle=12.5)
    assert g.angle == 12.5
    g = GradientRaylib([RED], GradientType.Radial, direction=Dir.TopLeft, center=[0.2, 0.3])
    assert (g.center.x, g.center.y) == (0.2, 0.3)
    vec = KsVector2(0.7, 0.1)
    g = GradientRaylib([RED], center=vec)
    assert g.center is not vec and (g.center.x, g.center.y) == (0.7, 0.1)


@pytest.mark.parametrize("value, stored", [(300, 300), (-1, -1), (128.9, 128), (True, 1)])
def test_transparency_integer_conversion(value, stored):
    assert GradientRaylib([RED], transparency=value).transparency == stored


@pytest.mark.parametrize("value, exc", [(2**40, OverflowError), ("7", TypeError)])
def test_transparency_rejects(value, exc):
    with pytest.raises(exc):
        GradientRaylib([RED], transparency=value)


@BOTH
@pytest.mark.parametrize(
    "args, kwargs",
    [((), {}), (([RED],) + (None,) * 6, {}), (([RED],), {"bogus": 1}),
     (([RED],), {"colors": [RED]}), (((RED, BLUE),), {}), ((None,), {"colours": 1})],
)
def test_bad_arguments_are_type_errors(cls, args, kwargs):
    with pytest.raises(TypeError):
        cls(*args, **kwargs)


@BOTH
def test_list_subclass_rejected_and_none_fails_at_the_colour_update(cls):
    class L(list):
        pass

    with pytest.raises(TypeError):
        cls(L([RED]))
    with pytest.raises(TypeError, match="NoneType' has no len"):
        cls(None)


def test_keywords_everywhere():
    g = GradientRaylib(colors=[RED], type=GradientType.Radial, direction=None, angle=3,
                       center=(0.1, 0.9), transparency=7)
    assert (g.angle, g.transparency, g.center.y) == (3.0, 7, 0.9)


def test_failure_is_not_rolled_back():
    g = GradientRaylib([RED, BLUE], angle=40)
    original = g.raw_colors
    with pytest.raises(TypeError):
        g.__init__([GREEN], GradientType.Radial, transparency="x")
    assert g.raw_colors is not original and g.type is GradientType.Radial
    assert g.angle == 40.0  # the transparency failed to convert before the angle was reset
    with pytest.raises(TypeError):
        g.__init__([[1, 2, 3, 4]], angle=10)
    assert g.angle == 10.0 and g.transparency == 255


# --- properties -------------------------------------------------------------------


def test_center_property():
    g = GradientRaylib([RED])
    g.center = (0.1, 0.2)
    assert isinstance(g.center, KsVector2) and (g.center.x, g.center.y) == (0.1, 0.2)
    v = KsVector2(3, 4)
    g.center = v
    v.x = 9
    assert g.center is v and g.center.x == 9
    for bad in [(0.1, 0.2, 0.3), [0.1, 0.2], None]:
        with pytest.raises(TypeError, match="center must be an KsVector2 instance or a tuple"):
            g.center = bad


@BOTH
def test_deleting_properties(cls):
    g = cls([RED])
    del g.raw_colors, g.type
    assert g.raw_colors is None and g.type is None
    for name in ["angle", "center", "colors", "transparency"] + (
        ["weights"] if cls is ClickGradient else []
    ):
        with pytest.raises(NotImplementedError, match="__del__"):
            delattr(g, name)


@BOTH
def test_colors_recomputes_and_raw_colors_does_not(cls):
    g = cls([RED, BLUE])
    g.raw_colors = [GREEN]
    assert colors(g) == [(1, 0, 0, 1), (0, 0, 1, 1)]
    new = [GREEN, RED, BLUE]
    g.colors = new
    assert g.colors is new and stops(g) == [0.0, 0.5, 1.0]
    with pytest.raises(TypeError):
        g.colors = (RED,)
    with pytest.raises(TypeError):
        g.raw_colors = (RED,)
    g.colors = []
    assert colors(g) == [] and stops(g) == []


def test_angle_and_transparency_properties():
    g = GradientRaylib([RED])
    g.angle = 0.1
    assert g.angle == f32(0.1)
    g.transparency = 12.7
    assert g.transparency == 12
    with pytest.raises(TypeError):
        g.angle = "1"


# --- colour conversion ------------------------------------------------------------


def test_colour_components_are_divided_by_255_without_clamping():
    g = GradientRaylib([(255, 128, 0, 255), (255.0, 0.0, 0.0, 127.5), (510, -255, 300, 0, 99),
                        ((0, 51, 255), 2), (0.0, Fraction(51), 255)])
    c = colors(g)
    assert c[0] == (1.0, f32(128 / 255), 0.0, 1.0)
    assert c[1] == (1.0, 0.0, 0.0, 0.5)
    assert c[2] == (2.0, -1.0, f32(300 / 255), 0.0)
    assert c[3] == c[4] == (0.0, f32(0.2), 1.0, 1.0)  # three components: opaque


def test_exact_division_semantics():
    class Half:
        def __truediv__(self, other):
            return 0.25

    big = 2**60 + 1
    c = colors(GradientRaylib([(big, True, Half(), 0)]))[0]
    assert c == (f32(big / 255), f32(1 / 255), 0.25, 0.0)


@pytest.mark.parametrize(
    "item, exc",
    [((255, "0", 0, 255), TypeError), ([255, 0, 0, 255], TypeError),
     (((1, 2), 1), IndexError), ((128, 64), TypeError), (((255, 0, 0, 255), "heavy"), TypeError),
     (None, TypeError)],
)
def test_bad_colour_items(item, exc):
    with pytest.raises(exc):
        GradientRaylib([item])


@pytest.mark.parametrize("cls", [GradientRaylib, GradientPygame])
def test_a_short_colour_says_what_a_colour_is(cls):
    with pytest.raises(IndexError, match=r"^a colour is \(red, green, blue\) or \(red, green, "
                                         r"blue, alpha\), 0 to 255 each; this one has 2 "):
        cls([((1, 2), 1)])


def test_traceback_names_the_failing_operations():
    import traceback

    with pytest.raises(TypeError) as info:
        GradientRaylib([(255, 0, "x", 255)])
    names = [f.name for f in traceback.extract_tb(info.value.__traceback__)]
    assert "kesa_ui.fast.ksraygrad.ksraygrad.GradientRaylib.__init__" in names
    assert names[-1] == "kesa_ui.fast.ksraygrad.ksraygrad.tuple_to_vector4"
    # The entry names the line that converts the failing component.
    source = Path(__file__).resolve().parent.parent / "src"
    bad = [((255,) * k + ("x",), k) for k in range(4)] + [((255,) * k, k) for k in range(3)]
    for colour, k in bad:
        with pytest.raises((TypeError, IndexError)) as info:
            GradientRaylib([(colour, 1.0)])
        entry = traceback.extract_tb(info.value.__traceback__)[-1]
        line = (source / entry.filename).read_text().splitlines()[entry.lineno - 1]
        assert f"component_at(t, {k}," in line


# --- stops ------------------------------------------------------------------------


@BOTH
@pytest.mark.parametrize(
    "items, expected",
    [
        ([], []),
        ([RED], [0.0]),
        ([RED] * 2, [0.0, 1.0]),
        ([RED] * 3, [0.0, 0.5, 1.0]),
        ([RED] * 4, [0.0, 0.375, 0.625, 1.0]),
        ([RED] * 5, [0.0, 0.3, 0.5, 0.7, 1.0]),
        ([(RED, 3), (BLUE, 1)], [0.5, 1.0]),
        ([(RED, 1), (BLUE, 3)], [0.0, 0.5]),
        ([(RED, 1), (BLUE, 2), (GREEN, 1)], [0.0, 0.5, 1.0]),
        ([(RED, 1), (BLUE, 1), (GREEN, 2)], [0.0, 0.375, 1.0]),
        ([(RED, 2), (BLUE, 1), (GREEN, 1)], [0.0, 0.625, 1.0]),
        ([(RED, 0), (BLUE, 0.0), (GREEN, False)], [0.0, 0.0, 0.0]),
        ([(RED, -1), (BLUE, 2)], [0.0, -2.0]),
        ([(RED, 3), (BLUE, -1)], [2.0, 1.0]),
    ],
)
def test_stops(cls, items, expected):
    weights = [item[1] if len(item) == 2 else 1.0 for item in items]
    assert stops(cls(items)) == pytest.approx(expected, abs=1e-7) == model_stops(weights)


weights_st = st.lists(
    st.one_of(st.integers(-5, 100), st.floats(-1e6, 1e6, allow_nan=False, width=32),
              st.just(0.0)),
    max_size=40,
)


@settings(max_examples=300, deadline=None)
@given(weights_st)
def test_stops_match_the_model(weights):
    items = [((i % 256, 0, 0, 255), w) for i, w in enumerate(weights)]
    assert stops(GradientRaylib(items)) == model_stops(weights)
    c = ClickGradient(items)
    assert stops(c) == model_stops(weights) and c.weights == [f32(w) for w in weights]


@settings(max_examples=150, deadline=None)
@given(weights_st, st.lists(st.tuples(st.integers(0, 45), st.floats(-1e3, 1e3)), max_size=8),
       st.one_of(st.none(), weights_st))
def test_click_weight_updates_match_the_model(weights, updates, assigned):
    c = ClickGradient([(RED, w) for w in weights])
    expected = [f32(w) for w in weights]
    if assigned is not None:
        c.weights = assigned
        expected = [f32(w) for w in assigned]
        assert stops(c) == model_stops(weights)  # assignment does not recompute
    for index, w in updates:
        if index < len(expected):
            c.set_weight(index, w)
            expected[index] = f32(w)
        else:
            with pytest.raises(IndexError, match=f"Max: {len(expected) - 1}$"):
                c.set_weight(index, w)
    if assigned is not None and not any(i < len(expected) for i, _ in updates):
        c._recalculate_stops()
    assert c.weights == expected and stops(c) == model_stops(expected)


# --- ClickGradient ----------------------------------------------------------------


def test_set_weight():
    c = ClickGradient([RED, BLUE, GREEN])
    assert c.weights == [1.0, 1.0, 1.0]
    c.set_weight(0, 2)
    assert c.weights == [2.0, 1.0, 1.0] and stops(c) == model_stops([2, 1, 1])
    c.set_weight(index=1.9, weight=4.0)
    assert c.weights == [2.0, 4.0, 1.0]
    before = (c.weights, stops(c))
    for index in (3, -1):
        with pytest.raises(IndexError, match=r"^Color index out of range! Max: 2$"):
            c.set_weight(index, 1)
    for args, exc in [(("1", 1), TypeError), ((1, "1"), TypeError), ((2**31, 1), OverflowError)]:
        with pytest.raises(exc):
            c.set_weight(*args)
    assert (c.weights, stops(c)) == before
    with pytest.raises(IndexError, match="Max: -1$"):
        ClickGradient([]).set_weight(0, 1)


def test_stops_follow_the_weights_of_the_last_recalculation():
    # Weights changed without a recalculation leave the stops as they were,
    # however many recalculations came before.
    c = ClickGradient([RED, BLUE, GREEN])
    c.set_weight(0, 5)
    with pytest.raises(TypeError):
        c.colors = [RED, (BLUE, 2), "not a colour"]  # weights rebuilt, stops not
    assert c.weights == [1.0, 2.0, 1.0] and stops(c) == model_stops([5, 1, 1])
    c.set_weight(2, 3)
    c.weights = [1.0, 1.0, 7.0]
    assert stops(c) == model_stops([1, 2, 3])

    class FirstOnly(ClickGradient):
        calls = 0

        def _recalculate_stops(self):
            FirstOnly.calls += 1
            if FirstOnly.calls == 1:
                super()._recalculate_stops()

    f = FirstOnly([RED, BLUE, GREEN])
    f.set_weight(0, 5)
    assert stops(f) == model_stops([1, 1, 1])


def test_weights_read_back_what_the_gradient_holds():
    # Every way of changing the weights shows in the next read, whatever an
    # earlier read handed out.
    c = ClickGradient([RED, BLUE])
    for change, expected in [
        (lambda: setattr(c, "colors", [(RED, 3), BLUE]), [3.0, 1.0]),
        (lambda: c.__setstate__(c.__reduce_cython__()[-1][:7] + ([5.0, 6.0],)), [5.0, 6.0]),
        (lambda: setattr(c, "weights", [0.1, 0.5]), [f32(0.1), 0.5]),
        (lambda: setattr(c, "weights", c.weights), [f32(0.1), 0.5]),
        (lambda: c.set_weight(1, 2), [f32(0.1), 2.0]),
        (lambda: setattr(c, "weights", [0.0, 2.0]), [0.0, 2.0]),
        (lambda: setattr(c, "weights", [-0.0, 2.0]), [-0.0, 2.0]),  # equal, not the same
    ]:
        assert c.weights == c.weights  # a read before the change
        change()
        assert repr(c.weights) == repr(expected)


def test_colors_assignment_restores_item_weights():
    items = [(RED, 2), BLUE]
    c = ClickGradient(items)
    c.set_weight(1, 5)
    c.colors = items
    assert c.weights == [2.0, 1.0]
    c.weights = [3, 1]
    c.weights = (x for x in [7.5])
    assert c.weights == [7.5] and stops(c) == model_stops([2, 1])
    with pytest.raises(TypeError):
        c.weights = ["0.5"]
    assert c.weights == [7.5]


def test_set_center_variants():
    c = ClickGradient([RED])
    first = c.center
    c.set_center((10, 20, 30))
    assert (c.center.x, c.center.y) == (10.0, 20.0) and c.center is not first
    assert (first.x, first.y) == (0.5, 0.5)  # a centre someone holds is never changed
    for bad, exc in [([10, 20], TypeError), (None, TypeError), ((1,), IndexError),
                     (("a", 1), TypeError)]:
        with pytest.raises(exc):
            c.set_center(bad)
    assert (c.center.x, c.center.y) == (10.0, 20.0)
    v = KsVector2(0.3, 0.4)
    c.set_center_ksvec(center=v)
    v.x = 99
    assert (c.center.x, c.center.y) == (0.3, 0.4)
    with pytest.raises(TypeError):
        c.set_center_ksvec((1, 2))
    with pytest.raises(AttributeError):
        c.set_center_ksvec(None)


def test_python_subclass_overrides_are_called():
    calls = []

    class Mine(ClickGradient):
        def _recalculate_stops(self):
            calls.append("stops")
            return super()._recalculate_stops()

        @classmethod
        def _ensure_resources(cls):
            calls.append("resources")

    m = Mine([RED, BLUE])
    m.set_weight(0, 3)
    assert calls == ["stops", "resources", "stops"]
    with pytest.raises(TypeError):
        m._recalculate_stops(1)


def test_recalculate_stops_error_propagates_after_storing():
    class Failing(ClickGradient):
        def _recalculate_stops(self):
            raise KeyError("boom")

    with pytest.raises(KeyError):
        Failing([RED, BLUE])


def test_ensure_resources_is_a_class_method():
    for target in (GradientRaylib, ClickGradient, GradientRaylib([RED])):
        assert target._ensure_resources() is None
    with pytest.raises(TypeError):
        GradientRaylib._ensure_resources(1)
    with pytest.raises(TypeError):
        GradientRaylib._ensure_resources(x=1)


def test_nan_and_infinities_pass_through():
    g = GradientRaylib([(float("nan"), float("inf"), 1e300, 0)], angle=float("-inf"))
    c = colors(g)[0]
    assert math.isnan(c[0]) and c[1] == math.inf and c[2] == math.inf
    assert g.angle == -math.inf


def test_set_center_ksvec_reads_through_attribute_access():
    class Shifted(KsVector2):
        @property
        def x(self):
            return 5.0

    c = ClickGradient([RED])
    c.set_center_ksvec(Shifted(1, 2))
    assert (c.center.x, c.center.y) == (5.0, 2.0) and type(c.center) is KsVector2


class OwnDivision(int):
    """A component type whose own division fails: its error stands."""

    def __truediv__(self, other):
        raise TypeError("my own division")


@BOTH
@pytest.mark.parametrize("items, error, says, cause", [
    (["red", "blue"], TypeError,
     "colour 0 of the list is a str \\('red'\\), not a tuple .* kesa_ui.core.color\\('red'\\)", None),
    ([RED, 0xFF0000], TypeError,
     "colour 1 of the list is an int \\(16711680\\).* kesa_ui.core.color\\('#ff0000'\\)", None),
    ([{"r": 255}], TypeError, "colour 0 of the list is a dict .* kesa_ui.core.color", None),
    ([(255, 0)], TypeError, "colour 0 of the list, \\(255, 0\\), was read as \\(colour, weight\\)",
     None),
    ([((255, 0, 0), "2")], TypeError,
     "component 0 of colour 0 .* it would need a number as its weight, not a str \\('2'\\)",
     TypeError),
    ([RED, ("255", 0, 0)], TypeError,
     "component 0 of colour 1 of the list, \\('255', 0, 0\\), is a str \\('255'\\)", TypeError),
    ([((255, 0, 0), 10**400)], OverflowError, "the weight of colour 0 of the list", OverflowError),
    ([(OwnDivision(1), 0, 0)], TypeError, "^my own division$", None),
    ([None], TypeError, "^'NoneType' object is not subscriptable$", None),
    ([(1, 2, 3), (4, 5)], TypeError, "colour 1 of the list, \\(4, 5\\), was read as", None),
    ([(1,)], IndexError, "^a colour is \\(red, green, blue\\) or \\(red, green, blue, alpha\\)",
     None),
], ids=["names", "int", "dict", "pair", "string weight", "string component", "huge weight",
        "own division", "None", "short pair", "short"])
def test_colour_errors_say_which_item_and_what_to_do(cls, items, error, says, cause):
    with pytest.raises(error, match=says) as info:
        cls(items)
    if cause is None:
        assert info.value.__cause__ is None
    else:  # the interpreter's own error, kept as the cause
        assert type(info.value.__cause__) is cause


@pytest.mark.parametrize("direction", list(Dir), ids=lambda d: d.name)
def test_the_gpu_and_the_cpu_renderer_share_the_direction_tables(direction):
    # The module's tables are its own (it reads no file); the CPU renderer's
    # must say the same for every direction.
    from kesa_ui.rendering.pygame.gradient import ANGLES, CENTERS

    linear = GradientRaylib([RED, BLUE], GradientType.Linear, direction)
    radial = GradientRaylib([RED, BLUE], GradientType.Radial, direction)
    assert linear.angle == ANGLES.get(direction.name, 0.0)
    assert (radial.center.x, radial.center.y) == CENTERS.get(direction.name, (0.5, 0.5))
    cpu = GradientPygame([RED, BLUE], GradientType.Linear, direction)
    assert cpu.angle == linear.angle
