"""kesa_ui.fast.ksgradient's Gradient: its parameters, pickling, and its
pictures against the CPU renderer's (kesa_ui.rendering.pygame.geometry)."""

import copy
import pickle
import threading

import numpy as np
import pytest

from kesa_ui.core.modules import rl
from kesa_ui.fast.ksgradient.ksgradient import Gradient
from kesa_ui.fast.ksrendertex.ks_render_tex import KsRenderTexture
from kesa_ui.fast.ksvector2.ksvector2 import KsVector2
from kesa_ui.rendering.pygame.geometry import render
from kesa_ui.rendering.pygame.gradient import compute_stops
from support import read_back, run_python

THREE = [(255, 0, 0), (0, 204, 0, 128), (0, 0, 255)]
# Where GradientRaylib places weights 1, 1, 0 (worked out here: numpy's
# reference counts would blur the leak hunt's inside a test).
WEIGHTED = tuple(compute_stops([1.0, 1.0, 0.0]))
# The tests that compare pixels use numpy.
PICTURES = pytest.mark.usefixtures("no_leak_hunt")


def pixels(target):
    try:
        return np.array(read_back(target), dtype=np.float64)
    finally:
        target.unload()


def state(g):
    return g.__reduce__()[2]


@PICTURES
@pytest.mark.backends
@pytest.mark.parametrize("kind, params", [
    ("linear", dict(angle=33)),
    ("linear", dict(angle=200, spread="reflect", positions=[0.3, 0.2, 0.45])),
    ("radial", {}),
    ("radial", dict(shape="ellipse", extent="closest-corner", center=(0.3, 0.6))),
    ("radial", dict(shape="ellipse", extent="farthest-side", focal=(0.9, 0.2), spread="reflect")),
    ("radial", dict(extent="closest-side", focal=(0.45, 0.55), spread="repeat")),
    ("radial", dict(extent=(0.3, 0.1), focal=(0.5, 0.55))),
    ("radial", dict(extent=0.0, spread="repeat")),  # a zero radius: the average
    ("conic", dict(angle=45, center=(0.4, 0.5), spread="repeat", positions=[0, 0.1, 0.25])),
    ("conic", dict(center=(0, 1), positions=[-0.2, 0.5, 1.3])),
    ("linear", dict(spread="repeat", positions=[0.5, 0.5, 0.5])),  # no period: the average
    # Colour spaces, hue methods and hints (a translucent colour among them).
    ("linear", dict(interpolation="srgb-linear")),
    ("linear", dict(interpolation="oklab", hints=[0.2, 0.9])),
    ("radial", dict(interpolation="oklab", spread="repeat", positions=[0, 0.5, 0.5])),
    ("linear", dict(interpolation="oklch")),
    ("conic", dict(interpolation="oklch", hue="longer", hints=[0.0, 1.0])),
    ("linear", dict(interpolation="oklch", hue="increasing", angle=180)),
    ("linear", dict(interpolation="oklch", hue="decreasing", spread="reflect",
                    positions=[0.1, 0.3, 0.4])),
    ("linear", dict(hints=[0.7, 0.01])),
    ("conic", dict(interpolation="oklch", colors=[(10, 200, 30)])),  # one colour: its own hue
])
def test_the_gpu_draws_what_the_cpu_renderer_draws(kind, params):
    params = dict(params)
    g = Gradient(params.pop("colors", THREE), kind, **params)
    difference = np.abs(pixels(g.generate_texture(48, 32)) - render(g, 48, 32)).max(axis=-1)
    assert difference.max() <= 1, int((difference > 1).sum())


@PICTURES
@pytest.mark.backends
def test_draw_paints_with_its_transparency_inside_the_callers_texture_mode():
    g = Gradient(THREE, "conic", spread="reflect", transparency=128)
    target, outer = KsRenderTexture(KsVector2(40, 24)), KsRenderTexture(KsVector2(4, 4))
    try:
        rl.begin_texture_mode(outer.render_texture)
        rl.begin_texture_mode(target.render_texture)
        rl.clear_background((255, 255, 255, 255))
        g.draw(0, 0, 40, 24)
        g.draw(5, 5, 0, 10)  # draws nothing
        rl.end_texture_mode()
        rl.clear_background((9, 9, 9, 255))  # lands in the outer target again
        rl.end_texture_mode()
        assert {c for row in read_back(outer) for c in row} == {(9, 9, 9, 255)}
    finally:
        outer.unload()
    got = pixels(target)
    straight = render(g, 40, 24, alpha=128 / 255).astype(np.float64)
    a = straight[..., 3:] / 255.0
    want = np.concatenate([straight[..., :3] * a + 255.0 * (1 - a), np.full_like(a, 255.0)], -1)
    assert np.abs(got - want)[..., :3].max() <= 2


def test_parameters_read_back_and_unused_ones_are_kept():
    g = Gradient([(1, 2, 3), ((4, 5, 6, 7), 2)], "conic", shape="ellipse", extent=(0.2, 0.3),
                 focal=(0.1, 0.2), spread="reflect", angle=10, center=[0.25, 0.75],
                 transparency=9)
    assert state(g) == (2, ((1, 2, 3, 255), ((4, 5, 6, 7), 2.0)), "conic", 10.0, (0.25, 0.75),
                        "ellipse", (0.2, 0.3), (0.1, 0.2), "reflect", None, 9, None, "srgb",
                        "shorter")
    g.kind, g.extent, g.focal = "radial", "closest-side", None
    assert (g.kind, g.extent, g.focal, g.shape) == ("radial", "closest-side", None, "ellipse")
    g.extent = 0.5
    assert g.extent == 0.5
    g.set_weight(0, 2)
    assert g.stops == (0.0, 1.0) and g.colors[0] == ((1, 2, 3, 255), 2.0)
    # Positions replace the weights, fixed up as CSS fixes them.
    g.colors = [(0, 0, 0), (1, 1, 1), (2, 2, 2)]
    g.positions = (0.5, 0.2, 2)
    assert g.positions == (0.5, 0.2, 2.0) and g.stops == (0.5, 0.5, 2.0)
    g.positions = None
    assert g.stops == (0.0, 0.5, 1.0)


@pytest.mark.parametrize("args, kwargs, error, words", [
    ((), {}, TypeError, "missing required argument 'colors'"),
    ((THREE, "linear", 1.0), {}, TypeError, "at most 2 positional"),
    ((THREE,), {"colour": 1}, TypeError, "unexpected keyword argument 'colour'"),
    ((THREE, "linear"), {"kind": "linear"}, TypeError, "multiple values for argument 'kind'"),
    (("red",), {}, TypeError, "colors must be a sequence"),
    (([],), {}, ValueError, "at least one colour"),
    (([[1, 2, 3]],), {}, TypeError, "colors[0] must be an (r, g, b)"),
    (([(1, 2)],), {}, ValueError, "colors[0] has 2 components"),
    (([(1, 2, 256)],), {}, ValueError, "colors[0][2] must lie in 0..255"),
    (([(1, 2, "3")],), {}, TypeError, "colors[0][2] must be a number"),
    (([((1, 2, 3), -1)],), {}, ValueError, "the weight of colors[0] must be a finite number"),
    (([(1, 2, float("nan"))],), {}, ValueError, "colors[0][2] must be a number"),
    (([((1, 2, 3), 1e39)],), {}, ValueError, "within float range"),  # inf as a float
    ((THREE, "spiral"), {}, ValueError, "kind must be 'linear', 'radial' or 'conic'"),
    ((THREE, 1), {}, TypeError, "kind must be a str"),
    ((THREE,), {"angle": float("inf")}, ValueError, "angle must be a finite number"),
    ((THREE,), {"center": (1, 2, 3)}, ValueError, "center must hold two numbers, not 3"),
    ((THREE,), {"center": 0.5}, TypeError, "center must be a sequence"),
    ((THREE,), {"shape": "square"}, ValueError, "shape must be 'circle' or 'ellipse'"),
    ((THREE,), {"extent": "far"}, ValueError, "extent must be 'closest-side'"),
    ((THREE,), {"extent": (-1, 1)}, ValueError, "extent's radii must be at least 0"),
    ((THREE,), {"extent": None}, TypeError, "extent must be 'closest-side'"),
    ((THREE,), {"focal": (0, "1")}, TypeError, "focal[1] must be a finite number"),
    ((THREE,), {"spread": "mirror"}, ValueError, "spread must be 'pad', 'repeat' or 'reflect'"),
    ((THREE,), {"positions": [0, 1]}, ValueError, "positions has 2 numbers for 3 colours"),
    (([(1, 2, 3), ((1, 2, 3), 2)],), {"positions": [0, 1]}, ValueError, "colors[1] has a weight"),
    ((THREE,), {"transparency": 256}, ValueError, "transparency must be an int 0..255"),
    ((THREE,), {"transparency": 0.5}, TypeError, "transparency must be an int"),
    ((THREE,), {"hints": [0.5]}, ValueError, "hints must hold one number per gap"),
    ((THREE,), {"hints": [0.5, 1.5]}, ValueError, "hints[1] must lie in 0..1"),
    ((THREE,), {"interpolation": "lab"}, ValueError, "interpolation must be 'srgb', 'srgb-linear'"),
    ((THREE,), {"hue": "short"}, ValueError, "hue must be 'shorter', 'longer'"),
])
def test_bad_arguments_name_the_parameter(args, kwargs, error, words):
    with pytest.raises(error) as caught:
        Gradient(*args, **kwargs)
    assert words in str(caught.value)


@pytest.mark.parametrize("name, value, error", [
    ("colors", [(1, 2, 3, 4, 5)], ValueError), ("kind", "spiral", ValueError),
    ("angle", "up", TypeError), ("center", (1,), ValueError), ("shape", 3, TypeError),
    ("extent", (1, -1), ValueError), ("focal", (1, None), TypeError),
    ("spread", "pad ", ValueError), ("positions", [0, 1], ValueError),
    ("transparency", -1, ValueError), ("colors", [(1, 2, 3)], ValueError),  # positions fit 3
    ("hints", [0.5], ValueError), ("interpolation", None, TypeError), ("hue", "up", ValueError),
])
def test_a_failed_setter_changes_nothing(name, value, error):
    g = Gradient(THREE, "radial", positions=[0, 0.5, 1], focal=(0.2, 0.2), hints=[0.1, 0.2],
                 interpolation="oklch")
    before = state(g)
    with pytest.raises(error):
        setattr(g, name, value)
    with pytest.raises(AttributeError):
        delattr(g, name)
    assert state(g) == before


@pytest.mark.parametrize("call, error, words", [
    (lambda g: g.draw("a", 0, 1, 1), TypeError, "x must be a number"),
    (lambda g: g.draw(0, float("nan"), 1, 1), ValueError, "y must be a finite number"),
    (lambda g: g.draw(0, 0, -1, 1), ValueError, "width and height must be at least 0"),
    (lambda g: g.draw(0, 0, 1e39, 1), ValueError, "width must be a finite number within float"),
    (lambda g: g.generate_texture(0, 4), ValueError, "width must be at least 1"),
    (lambda g: g.generate_texture(4, 2**70), ValueError, "height of 1180591620717411303424 pixels"),
    (lambda g: g.generate_texture(1.5, 4), TypeError, "width must be an int"),
    (lambda g: Gradient.__new__(Gradient).draw(0, 0, 1, 1), TypeError, "has no colours"),
    (lambda g: Gradient.__new__(Gradient).__reduce__(), TypeError, "never initialised"),
])
def test_bad_render_arguments(call, error, words):
    with pytest.raises(error, match=words):
        call(Gradient(THREE))


def test_set_weight_rules():
    g = Gradient(THREE)
    g.set_weight(index=2, weight=0)
    assert g.stops == WEIGHTED
    for args, error in [((3, 1), IndexError), ((-1, 1), IndexError), ((0, -1), ValueError),
                        ((0, float("nan")), ValueError), (("0", 1), TypeError)]:
        with pytest.raises(error):
            g.set_weight(*args)
    with pytest.raises(ValueError, match="colors.2. has a weight"):
        g.positions = [0, 0.5, 1]
    g.colors, g.positions = THREE, [0, 0.5, 1]
    with pytest.raises(ValueError, match="placed by positions"):
        g.set_weight(0, 1)


def test_pickle_and_copy_keep_every_parameter_and_refuse_other_states():
    g = Gradient([(1, 2, 3, 4), (5, 6, 7)], "radial", shape="ellipse", extent="closest-side",
                 focal=(0.3, 0.3), spread="repeat", positions=[0.25, 0.5], transparency=7)
    for twin in [pickle.loads(pickle.dumps(g)), copy.copy(g), copy.deepcopy(g)]:
        assert twin is not g and state(twin) == state(g)
    for bad, error in [((3,) + state(g)[1:], ValueError), (state(g)[:5], ValueError),
                       ([1], TypeError), ((2, [], *state(g)[2:]), ValueError),
                       ((1,) + state(g)[1:], ValueError)]:
        with pytest.raises(error):
            g.__setstate__(bad)
    # A state of the first version (no hints, spaces or hue) restores too.
    g.hints, g.interpolation, g.hue = [0.3], "oklch", "longer"
    g.__setstate__((1,) + state(g)[1:11])
    assert state(g)[11:] == (None, "srgb", "shorter")


def test_number_conversions_cannot_change_what_is_read():
    colours = [(0, 0, 0), (255, 255, 255)]

    class Sly:
        def __index__(self):
            colours.clear()  # the caller's list: the gradient reads its own copy
            return 200

    g = Gradient([(Sly(), 0, 0), *colours])
    assert g.colors == ((200, 0, 0, 255), (0, 0, 0, 255), (255, 255, 255, 255))

    class Meddler:
        def __index__(self):
            g.kind, g.positions = "conic", None  # a change made while colors is read stays
            return 9

    g.positions = [0, 0.5, 1]
    g.colors = [(Meddler(), 0, 0), (1, 1, 1)]
    assert (g.kind, g.positions, len(g.colors)) == ("conic", None, 2)


def test_the_model_needs_no_window_but_a_render_does():
    proc = run_python("""
        from kesa_ui.fast.ksgradient.ksgradient import Gradient
        g = Gradient([(1, 2, 3), (4, 5, 6)], "conic")
        g.angle = 5
        try:
            g.draw(0, 0, 4, 4)
        except RuntimeError as e:
            print("refused:", e)
    """)
    assert proc.stdout.startswith("refused:")


def test_another_thread_cannot_render():
    errors = []
    g = Gradient(THREE)

    def other():
        try:
            g.generate_texture(4, 4)
        except RuntimeError as e:
            errors.append(e)

    worker = threading.Thread(target=other)
    worker.start()
    worker.join()
    assert len(errors) == 1


def test_code_a_render_runs_cannot_render():
    # The first render in a window builds the program from GeometryShader's
    # source: code run there meets the render in progress.
    proc = run_python("""
        from kesa_ui.fast import GeometryShader
        from kesa_ui.fast.ksgradient.ksgradient import Gradient
        g = Gradient([(255, 0, 0), (0, 0, 255)])
        build = GeometryShader.fragment_shader
        def meddle(*args):
            try:
                g.draw(0, 0, 4, 4)
            except RuntimeError as e:
                print("refused:", e)
            return build(*args)
        GeometryShader.fragment_shader = meddle
        open_window(16)
        t = g.generate_texture(4, 4)
        print(read_back(t)[0][0])
    """, window=True)
    lines = proc.stdout.splitlines()
    assert lines[0].startswith("refused: a gradient is already being rendered")
    assert lines[1].startswith("(")


def test_windows_closed_and_reopened_get_a_new_program():
    proc = run_python("""
        from kesa_ui.fast.ksgradient.ksgradient import Gradient
        g = Gradient([(255, 0, 0), (0, 0, 255)], "radial")
        for size in (16, 24):
            open_window(size)
            t = g.generate_texture(4, 4)
            print(read_back(t)[0][0])
            t.unload()
            rl.close_window()
    """, window=True)
    first, second = proc.stdout.split("\n")[:2]
    assert first == second and first.startswith("(")
