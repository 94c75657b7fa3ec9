"""Pickling and copying both gradient classes."""

import copy
import pickle

import pytest

from kesa_ui.core import GradientType
from kesa_ui.fast.ksraygrad import ksraygrad as m
from kesa_ui.fast.ksraygrad.ksraygrad import ClickGradient, GradientRaylib
from kesa_ui.fast.ksvector2.ksvector2 import KsVector2
from support import BOTH, RED, run_python, state, stops

FAINT_BLUE = (0, 0, 255, 128)
CHECKSUMS = {GradientRaylib: (0xCE08233, 0x5C0DD12, 0x75FB95B),
             ClickGradient: (0xF8824C9, 0x906A415, 0x39D65A)}
UNPICKLE = {GradientRaylib: m.__pyx_unpickle_GradientRaylib,
            ClickGradient: m.__pyx_unpickle_ClickGradient}


def restored(fields):
    """A GradientRaylib unpickled from the state `fields`."""
    return m.__pyx_unpickle_GradientRaylib(GradientRaylib, 0xCE08233, tuple(fields))


def sample(cls):
    g = cls([(RED, 3), FAINT_BLUE, (0, 255, 0, 255)], GradientType.Radial, center=(0.2, 0.7),
            angle=33.3, transparency=99)
    if cls is ClickGradient:
        g.set_weight(1, 0.1)
    return g


@BOTH
@pytest.mark.parametrize("protocol", range(pickle.HIGHEST_PROTOCOL + 1))
def test_round_trip_at_every_protocol(cls, protocol):
    g = sample(cls)
    back = pickle.loads(pickle.dumps(g, protocol))
    assert type(back) is cls and back.angle == g.angle and back.type is g.type
    assert state(back)[2:5] == state(g)[2:5]  # colours, stops, transparency
    assert back.raw_colors == g.raw_colors and (back.center.x, back.center.y) == (0.2, 0.7)
    if cls is ClickGradient:
        assert back.weights == g.weights


@BOTH
def test_reduce_shapes_and_checksums(cls):
    g = sample(cls)
    reduced = g.__reduce__()
    assert reduced[0] is UNPICKLE[cls] and reduced[1] == (cls, CHECKSUMS[cls][0], None)
    assert len(reduced) == 3 and len(reduced[2]) == (7 if cls is GradientRaylib else 8)
    bare = UNPICKLE[cls](cls, CHECKSUMS[cls][0], None)
    assert (bare.center, bare.raw_colors, bare.type, bare.transparency, bare.angle) == (
        None, None, None, 0, 0.0)
    shape = bare.__reduce__()
    assert len(shape) == 2 and shape[1][0] is cls and shape[1][2][2:4] == ([], [])
    for checksum in CHECKSUMS[cls]:
        assert isinstance(UNPICKLE[cls](cls, checksum, None), cls)
    other = CHECKSUMS[ClickGradient if cls is GradientRaylib else GradientRaylib][0]
    with pytest.raises(pickle.PickleError, match="Incompatible checksums"):
        UNPICKLE[cls](cls, other, None)


def test_reconstructor_argument_rules():
    f = m.__pyx_unpickle_GradientRaylib
    with pytest.raises(pickle.PickleError) as info:
        f(GradientRaylib, 0x1234, None)
    assert str(info.value) == (
        "Incompatible checksums (0x1234 vs (0xce08233, 0x5c0dd12, 0x75fb95b) = "
        "(_angle, _center, _colors, _stops, _transparency, raw_colors, type))")
    with pytest.raises(TypeError):
        f(GradientRaylib, 0xCE08233)
    with pytest.raises(TypeError):
        f(GradientRaylib, "0xce08233", None)
    with pytest.raises(OverflowError):
        f(GradientRaylib, 2**70, None)
    with pytest.raises(TypeError):
        f(GradientRaylib, 0xCE08233, [])
    with pytest.raises(TypeError):  # the base's __new__ refuses the subclass
        f(ClickGradient, 0xCE08233, None)
    assert type(f(__pyx_type=GradientRaylib, __pyx_checksum=0xCE08233,
                  __pyx_state=None)) is GradientRaylib


def test_setstate_applies_fields_in_order_without_rollback():
    g = GradientRaylib([RED])
    good = state(sample(GradientRaylib))
    bad = good[:5] + ((1, 2),) + good[6:]
    with pytest.raises(TypeError):
        g.__setstate_cython__(bad)
    assert g.angle == pytest.approx(33.3) and g.transparency == 99
    assert g.raw_colors == [RED]  # element 5 failed
    for wrong in (None, list(good), type("T", (tuple,), {})(good)):
        with pytest.raises(TypeError):
            g.__setstate_cython__(wrong)
    with pytest.raises(IndexError):
        g.__setstate_cython__(good[:6])
    with pytest.raises(AttributeError):
        g.__setstate_cython__(good + ({"a": 1},))
    g.__setstate_cython__(good + ({},))  # a false extra element is ignored


@pytest.mark.parametrize(
    "index, value, exc",
    [(0, "x", TypeError), (1, (0.5, 0.5), TypeError), (2, [{"x": 1, "y": 0, "z": 0}], ValueError),
     (2, [(1, 2, 3, 4)], TypeError), (2, [5], TypeError), (3, ["0.5"], TypeError),
     (4, 2**33, OverflowError), (4, "1", TypeError)],
)
def test_bad_state_elements(index, value, exc):
    fields = list(state(sample(GradientRaylib)))
    fields[index] = value
    with pytest.raises(exc):
        restored(fields)


def test_mapping_conversion_rules():
    fields = list(state(GradientRaylib([RED])))
    fields[2] = [{"x": 1, "y": 0.5, "z": 0, "w": 1, "extra": "ignored"}]
    g = restored(fields)
    assert state(g)[2] == [{"x": 1.0, "y": 0.5, "z": 0.0, "w": 1.0}]
    fields[2] = [{"y": 0, "z": 0}]
    with pytest.raises(ValueError, match="attribute 'x'") as info:
        restored(fields)
    assert isinstance(info.value.__context__, KeyError)
    fields[2], fields[3] = (iter([{"x": 0, "y": 0, "z": 0, "w": 0}]), range(3))
    assert stops(restored(fields)) == [0.0, 1.0, 2.0]


def test_state_is_restored_as_given():
    fields = list(state(GradientRaylib([RED, FAINT_BLUE])))
    fields[5] = [(0, 0, 0, 0)] * 5  # does not match the colours
    g = restored(fields)
    assert len(state(g)[2]) == 2 and len(g.raw_colors) == 5


class Sub(GradientRaylib):
    pass


class ClickSub(ClickGradient):
    pass


@pytest.mark.parametrize("cls", [Sub, ClickSub])
def test_subclass_dict_travels(cls):
    g = cls([RED])
    assert len(g.__reduce__()[2]) == (7 if cls is Sub else 8)  # empty __dict__: no extra
    g.note = "hello"
    reduced = g.__reduce__()
    assert reduced[1][0] is cls and reduced[2][-1] == {"note": "hello"}
    back = pickle.loads(pickle.dumps(g))
    assert type(back) is cls and back.note == "hello"


@BOTH
def test_copy_and_deepcopy(cls):
    g = sample(cls)
    shallow = copy.copy(g)
    assert shallow.raw_colors is g.raw_colors and shallow.center is g.center
    assert shallow.type is g.type and state(shallow)[2:5] == state(g)[2:5]
    g.colors = [RED]
    assert len(state(shallow)[2]) == 3  # its own arrays
    deep = copy.deepcopy(g)
    assert deep.raw_colors == g.raw_colors and deep.raw_colors is not g.raw_colors


def test_pickle_from_another_process():
    proc = run_python(
        """
        import pickle, sys
        from kesa_ui.core import GradientType
        from kesa_ui.fast.ksraygrad.ksraygrad import ClickGradient
        g = ClickGradient.__new__(ClickGradient)
        g.__setstate_cython__((45.0, None, [{"x": 1, "y": 0, "z": 0, "w": 1}], [0.0], 7,
                               [(255, 0, 0, 255)], GradientType.Linear, [2.0]))
        sys.stdout.write(pickle.dumps(g, 0).decode("latin-1"))
        """
    )
    g = pickle.loads(proc.stdout.encode("latin-1"))
    assert (g.angle, g.transparency, g.type, g.weights) == (45.0, 7, GradientType.Linear, [2.0])
    assert g.raw_colors == [RED[:3] + (255,)] and g.center is None


def test_pickles_stored_by_an_earlier_build_load_to_the_same_state():
    # Made by the build of f5b108c: both classes, protocols 0 to 5.
    import base64
    import json
    from pathlib import Path

    fixtures = json.loads((Path(__file__).parent / "fixtures" / "pickles_f5b108c.json")
                          .read_text())
    for name, fixture in fixtures.items():
        for protocol, data in enumerate(fixture["pickles"]):
            g = pickle.loads(base64.b64decode(data))
            assert type(g).__name__ == fixture["class"], name
            s = state(g)
            plain = [s[0], [s[1].x, s[1].y], s[2], s[3], s[4], s[5], s[6].name, *s[7:]]
            assert json.loads(json.dumps(plain)) == fixture["state"], (name, protocol)
