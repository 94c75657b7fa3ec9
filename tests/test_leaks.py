"""No references leak from the model's operations: a loop of them allocates
no Python memory that stays."""

import copy
import pickle
import tracemalloc

from kesa_ui.core import GradientDirection, GradientType
from kesa_ui.fast.ksraygrad import ksraygrad as m
from kesa_ui.fast.ksraygrad.ksraygrad import ClickGradient, GradientRaylib
from kesa_ui.fast.ksvector2.ksvector2 import KsVector2

COLORS = [((255, 0, 0, 255), 2), (0, 255, 0, 128), ((0, 0, 255, 255), 0.5)]


def exercise():
    g = GradientRaylib(COLORS, GradientType.Linear, GradientDirection.TopLeft, transparency=9)
    g.colors = COLORS
    g.center = (0.1, 0.2)
    g.angle = 3
    pickle.loads(pickle.dumps(g))
    c = ClickGradient(COLORS, direction=GradientDirection.BottomRight, center=[0.3, 0.3])
    c.set_weight(1, 2.5)
    c.set_center((0.4, 0.6))
    c.set_center_ksvec(KsVector2(0.1, 0.1))
    c.weights = c.weights
    copy.deepcopy(c)
    for bad in (lambda: GradientRaylib([(1, "x", 3, 4)]), lambda: c.set_weight(9, 1),
                lambda: m.__pyx_unpickle_ClickGradient(ClickGradient, 1, None),
                lambda: c.__setstate_cython__((1.0, None, [{"x": 1}], [], 0, None, None, []))):
        try:
            bad()
        except Exception:
            pass


def test_model_operations_leak_nothing():
    # A leak grows in every interval; the interpreter's own caches grow once
    # (by hundreds of KiB after a few thousand traceback entries), so only
    # growth in all three intervals counts.
    for _ in range(300):
        exercise()
    tracemalloc.start()
    growth = []
    try:
        for _ in range(3):
            before = tracemalloc.get_traced_memory()[0]
            for _ in range(1000):
                exercise()
            growth.append(tracemalloc.get_traced_memory()[0] - before)
    finally:
        tracemalloc.stop()
    assert min(growth) < 8_000, f"bytes that stayed per 1000 rounds: {growth}"


# Already a loop of thousands of rounds: the refleak plugin need not repeat it.
test_model_operations_leak_nothing.refleak_rounds = False
