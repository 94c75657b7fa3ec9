"""Hostile input: whatever Python code hands the gradients, the outcome is a
Python exception (or success), never a crash, and the instance stays usable.

The hypothesis profile "fuzz" (`make fuzz`) runs the same properties much
longer than the suite does.
"""

import copy
import gc
import math
import os
import pickle
import weakref

import pytest
from hypothesis import HealthCheck, given, settings, strategies as st

from kesa_ui.core import GradientDirection, GradientType
from kesa_ui.fast.ksraygrad import ksraygrad as m
from kesa_ui.fast.ksraygrad.ksraygrad import ClickGradient, GradientRaylib
from kesa_ui.fast.ksvector2.ksvector2 import KsVector2
from support import BLUE, GREEN, RED, run_python, state, stops

settings.register_profile(
    "ci", max_examples=60, deadline=None, suppress_health_check=list(HealthCheck))
settings.register_profile(
    "fuzz", max_examples=5000, deadline=None, suppress_health_check=list(HealthCheck))
settings.load_profile(os.environ.get("KS_HYPOTHESIS_PROFILE", "ci"))

# Everything an operation may legitimately raise on bad input.
EXPECTED = (TypeError, ValueError, IndexError, OverflowError, AttributeError, KeyError,
            NotImplementedError, NameError, RuntimeError, ZeroDivisionError, LookupError,
            ArithmeticError, pickle.PickleError, MemoryError)


class Boom(Exception):
    """Raised by the hostile objects below."""


def raiser(*_args, **_kwargs):
    raise Boom


def hostile_class(*dunders):
    return type("Hostile_" + "_".join(d.strip("_") for d in dunders), (),
                {d: raiser for d in dunders})


HOSTILE = [hostile_class(d)() for d in
           ("__float__", "__index__", "__int__", "__eq__", "__bool__", "__len__",
            "__length_hint__", "__truediv__", "__getitem__", "__iter__", "__hash__")]


class Mutator:
    """Divided by 255, it changes the colour list being converted."""

    target: list = []

    def __init__(self, how):
        self.how = how

    def __truediv__(self, other):
        if self.how == "clear":
            Mutator.target.clear()
        elif self.how == "grow":
            Mutator.target.extend([(1, 2, 3, 4)] * 50)
        else:
            Mutator.target[:] = [None]
        return 0.5


def raising_iterator(n):
    yield from [1.0] * n
    raise Boom


scalars = st.one_of(
    st.integers(-(2**70), 2**70), st.floats(allow_nan=True, allow_infinity=True),
    st.booleans(), st.none(), st.text(max_size=3), st.binary(max_size=3),
    # Indices, not the objects: hypothesis hashes what it samples.
    st.integers(0, len(HOSTILE) - 1).map(HOSTILE.__getitem__),
    st.sampled_from(list(GradientDirection)),
    st.sampled_from(list(GradientType)), st.builds(Mutator, st.sampled_from(
        ["clear", "grow", "none"])),
)
colour = st.one_of(
    st.tuples(scalars, scalars, scalars, scalars),
    st.tuples(st.integers(0, 255), st.integers(0, 255), st.integers(0, 255),
              st.integers(0, 255)),
    st.lists(scalars, max_size=6).map(tuple),
    scalars,
)
item = st.one_of(colour, st.tuples(colour, scalars), st.tuples(colour, st.floats()))
values = st.recursive(
    scalars,
    lambda inner: st.one_of(st.lists(inner, max_size=5), st.lists(inner, max_size=5).map(tuple),
                            st.dictionaries(st.sampled_from("xyzw"), inner, max_size=4)),
    max_leaves=8,
)
colour_lists = st.lists(item, max_size=8)


def check_usable(g):
    """Every field reads, the instance reduces, and a valid update works."""
    for name in ("transparency", "angle", "center", "colors", "raw_colors", "type"):
        getattr(g, name)
    if isinstance(g, ClickGradient):
        g.weights
    g.__reduce__()
    g.colors = [(255, 0, 0, 255), ((0, 0, 255, 255), 2)]
    if isinstance(g, ClickGradient):
        g.set_weight(0, 1.5)
        g.set_center((0.5, 0.5))


def attempt(fn, *args, **kwargs):
    try:
        fn(*args, **kwargs)
    except (Boom, *EXPECTED):
        pass


@given(st.sampled_from([GradientRaylib, ClickGradient]), colour_lists,
       st.lists(values, max_size=5), st.booleans())
def test_constructors(cls, colors, rest, self_in_list):
    colors = list(colors)  # mutated below: not hypothesis's own list
    Mutator.target = colors
    g = cls.__new__(cls)
    if self_in_list:
        colors.append(g)
    attempt(g.__init__, colors, *rest)
    check_usable(g)
    attempt(cls, colors, *rest)


OPERATIONS = ["colors", "raw_colors", "angle", "transparency", "center", "type", "weights",
              "set_weight", "set_center", "set_center_ksvec", "setstate", "generate_texture",
              "draw", "_recalculate_stops", "delete"]


@given(st.sampled_from([GradientRaylib, ClickGradient]),
       st.lists(st.tuples(st.sampled_from(OPERATIONS), values, values), max_size=6))
def test_operation_sequences(cls, ops):
    g = cls([(255, 0, 0, 255), (0, 0, 255, 255)])
    for op, a, b in ops:
        if isinstance(a, list):
            a = copy.copy(a)
            Mutator.target = a
        if op in ("colors", "raw_colors", "angle", "transparency", "center", "type", "weights"):
            attempt(setattr, g, op, a)
        elif op == "delete":
            attempt(delattr, g, "angle" if a is None else "type")
        elif op == "setstate":
            attempt(g.__setstate__, a if not isinstance(a, list) else tuple(a))
        elif op == "generate_texture":
            # Sizes stay small: a valid huge size would really allocate.
            attempt(g.generate_texture, a if not isinstance(a, int) else a % 9 - 1, 3)
        elif cls is ClickGradient and op == "draw":
            attempt(g.draw, a, b, 4, 4)
        elif cls is ClickGradient:
            attempt(getattr(g, op), *([a, b][: 2 if op == "set_weight" else
                                              0 if op == "_recalculate_stops" else 1]))
    check_usable(g)


@given(st.sampled_from([(m.__pyx_unpickle_GradientRaylib, GradientRaylib, 0xCE08233, 7),
                        (m.__pyx_unpickle_ClickGradient, ClickGradient, 0xF8824C9, 8)]),
       st.lists(values, max_size=10), values)
def test_reconstructors_and_state_tuples(target, state, checksum):
    fn, cls, good, n = target
    attempt(fn, cls, checksum, tuple(state))
    try:
        g = fn(cls, good, tuple(state))
    except (Boom, *EXPECTED):
        return
    # A state restored as given may hold any centre; the instance must still
    # reduce, copy and take a valid update.
    copy.copy(g)
    check_usable(g)


class Reentrant(ClickGradient):
    """Overrides that call back into the same instance, or raise."""

    depth = 0

    def _recalculate_stops(self):
        Reentrant.depth += 1
        try:
            if Reentrant.depth < 3:
                self.colors = [(1, 2, 3, 4)] * Reentrant.depth
                self.set_weight(0, 2.0)
            else:
                raise Boom
        finally:
            Reentrant.depth -= 1
        return super()._recalculate_stops()

    @classmethod
    def _ensure_resources(cls):
        raise Boom


def test_reentrant_and_raising_overrides():
    with pytest.raises(Boom):
        Reentrant([(255, 0, 0, 255)] * 3)
    g = Reentrant.__new__(Reentrant)
    attempt(g.__init__, [(255, 0, 0, 255)])
    attempt(g.set_weight, 0, 1.0)
    attempt(g.draw, 0, 0, 2, 2)
    for name in ("colors", "weights", "center"):
        getattr(g, name)


def test_division_that_empties_the_list_being_converted():
    colors = [(Mutator("clear"), 0, 0, 0), (1, 2, 3, 4), (5, 6, 7, 8)]
    Mutator.target = colors
    g = GradientRaylib(colors)
    assert len(state(g)[2]) == 1  # the walk followed the shrunken list
    colors = [(Mutator("grow"), 0, 0, 0)]
    Mutator.target = colors
    c = ClickGradient(colors)
    assert len(c.weights) == 1 and len(state(c)[2]) == 51


def test_iterators_that_raise_part_way_leave_weights_alone():
    c = ClickGradient([(1, 2, 3, 4)] * 2)
    with pytest.raises(Boom):
        c.weights = raising_iterator(5)
    assert c.weights == [1.0, 1.0]
    with pytest.raises(Boom):
        c.weights = HOSTILE[6]  # __length_hint__ raises


def test_nan_and_infinity_everywhere():
    nan, inf = math.nan, math.inf
    c = ClickGradient([((nan, inf, -inf, 0), nan), ((1, 2, 3, 4), inf)], angle=nan,
                      center=(inf, nan))
    c.set_weight(0, -inf)
    c._recalculate_stops()
    c.draw(nan, inf, 2, 2)
    c.generate_texture(2, 2).unload()
    check_usable(c)


class Centre(KsVector2):
    """A centre that takes weak references (the gradients do not)."""


def test_colour_list_holding_the_gradient_is_collected():
    for cls in (GradientRaylib, ClickGradient):
        colors = []
        g = cls(colors)
        colors.append((g, 1))
        g.raw_colors.append(g)
        g.type = g
        g.center = Centre(0, 0)
        centre = weakref.ref(g.center)  # held by the gradient alone
        del g, colors
        assert centre() is not None  # only the collector can free the cycle
        gc.collect()
        assert centre() is None, f"a {cls.__name__} in a reference cycle was not collected"
    # Collected instances are cleared (their references set to None) before
    # they are freed; one that a finaliser keeps alive must still fail cleanly.
    survivors = []

    class Keeper:
        def __init__(self, g):
            self.g = g

        def __del__(self):
            survivors.append(self.g)

    for cls in (GradientRaylib, ClickGradient):
        g = cls([(1, 2, 3, 4)])
        k = Keeper(g)
        g.type = k
        k.cycle = k
        del g, k
    gc.collect()
    assert len(survivors) == 2
    for g in survivors:
        for name in ("raw_colors", "type", "center", "colors"):
            getattr(g, name)
        check_usable(g)


def test_code_run_by_a_weight_conversion_sees_the_weights_as_they_were():
    c = ClickGradient([RED, GREEN, BLUE])

    class Recalculates:
        def __float__(self):
            c._recalculate_stops()  # of the weights as they still are
            return 1.0
    c.weights = [Recalculates(), 1.0, 6.0, 1.0, 1.0]
    assert stops(c) == [0.0, 0.5, 1.0]

    class Reads:
        def __float__(self):
            c.weights  # shared floats of the weights as they still are
            return 5.0
    c.weights = [Reads(), 2.0, 3.0]
    assert c.weights == [5.0, 2.0, 3.0]
    state = list(c.__reduce_cython__()[-1])
    state[7] = [Reads(), 7.0, 8.0]
    c.__setstate_cython__(tuple(state))
    assert c.weights == [5.0, 7.0, 8.0]

    class Swaps:
        def __float__(self):
            given[:] = c.weights  # the floats a read shares, followed by the walk
            return 6.0
    given = [Swaps(), 1.0, 1.0]
    c.weights = given
    assert c.weights == [6.0, 7.0, 8.0]


def test_hostile_programs_over_the_platform():
    # Records kept past their owners, targets dropped mid-stack, modes left
    # open across frames and windows, renders whose callbacks close the
    # window: tests/platform_machine.py, in an interpreter of its own (it
    # closes and reopens windows).
    run_python("import platform_machine\nplatform_machine.run()", window=True)
