"""What rendering asks of the raylib wrapper, read from its call log: the
uniform upload, the modes in order, and the unwinding of begun modes when a
call fails."""

import functools
import sys
import types

import pytest

from kesa_ui.core import GradientType
from kesa_ui.core.modules import rl
from kesa_ui.fast import GradientShader
from kesa_ui.fast.ksraygrad import ksraygrad as m
from kesa_ui.fast.ksraygrad.ksraygrad import ClickGradient, GradientRaylib
from kesa_ui.fast.ksshader.ksshader import KsShader
from kesa_ui.fast.ksvector2.ksvector2 import KsVector2
from kesa_ui.fast.raylib import kesa_raylib as kr
from support import (BLUE, GREEN, RED, UNIFORMS, WHITE, call_log, names, run_python,
                     uniform_locations)

pytestmark = pytest.mark.backends  # also run against raylib's other GL backends

UPLOAD = "set_ksshader_value_"


@functools.cache
def uniform_at():
    """Uniform names by location. A program linked from the same source has
    the same layout as the gradients' shared shader, whose locations the
    module keeps to itself."""
    shader = KsShader.create_from_code(GradientShader.VERTEX_SHADER,
                                       GradientShader.FRAGMENT_SHADER)
    return {loc: name for name, loc in uniform_locations(shader).items()}


def uploads(calls):
    """{uniform name: (setter, value)} for the uniform uploads in a call log,
    the setter without its common prefix; each uniform is set once."""
    found = {}
    for name, (_, loc, value) in ((n, a) for n, a in calls if n.startswith(UPLOAD)):
        uniform = uniform_at()[loc]
        assert uniform not in found, f"{uniform} uploaded twice"
        found[uniform] = (name.removeprefix(UPLOAD), value)
    return found


def modes(calls):
    """The calls in a log other than uniform uploads, by name."""
    return [name for name in names(calls) if not name.startswith(UPLOAD)]


def uploaded_before_the_draw(calls):
    called = names(calls)
    last_upload = max(i for i, name in enumerate(called) if name.startswith(UPLOAD))
    return last_upload < called.index("draw_texture_pro")


def test_first_ensure_resources_queries_the_eight_locations_once():
    proc = run_python(
        """
        open_window()
        from kesa_ui.fast.ksraygrad.ksraygrad import GradientRaylib
        from kesa_ui.fast.raylib import kesa_raylib as kr
        kr.start_call_log()
        GradientRaylib._ensure_resources()
        first = kr.stop_call_log()
        kr.start_call_log()
        GradientRaylib._ensure_resources()
        GradientRaylib([(1, 2, 3, 4)])
        second = kr.stop_call_log()
        print([args[1] for name, args in first if name == "get_ksshader_location"])
        print(len(first), second)
        """,
        window=True,
    )
    lines = proc.stdout.strip().splitlines()
    assert eval(lines[0]) == UNIFORMS
    assert lines[1] == "8 []"


def test_failed_location_lookup_leaves_the_shader_and_earlier_locations():
    proc = run_python(
        """
        open_window()
        from kesa_ui.fast.ksraygrad.ksraygrad import GradientRaylib, ClickGradient
        from kesa_ui.fast.raylib import kesa_raylib as kr
        kr.inject_failure("get_ksshader_location", OSError("lookup"))
        try:
            GradientRaylib._ensure_resources()
        except OSError as e:
            print("failed", e)
        kr.start_call_log()
        GradientRaylib._ensure_resources()   # shader present: no lookups; texture made
        calls = kr.stop_call_log()
        print([n for n, _ in calls])
        g = ClickGradient([(255, 0, 0, 255)])
        kr.start_call_log()
        g.draw(0, 0, 4, 4)
        calls = kr.stop_call_log()
        print([a[1] for n, a in calls if n.startswith("set_ksshader_value")])
        """,
        window=True,
    )
    out = proc.stdout.strip().splitlines()
    assert out[0] == "failed lookup"
    assert out[1] == "[]"
    # The first location stayed -1; the others were never looked up: every
    # uniform goes to location -1.
    assert eval(out[2]) == [-1] * 8


@pytest.mark.parametrize("kind, expected", [(GradientType.Linear, 0), (GradientType.Radial, 1),
                                            (None, 1)])
def test_generate_texture_calls(kind, expected):
    g = GradientRaylib([RED, (BLUE, 3)], kind, angle=45, center=(0.25, 0.75), transparency=3)
    with call_log() as calls:
        tex = g.generate_texture(width=20, height=10)
    assert modes(calls) == [
        "begin_texture_mode", "begin_blend_mode", "begin_ksshader_mode", "c_fast_clear",
        "draw_texture_pro", "end_shader_mode", "end_blend_mode", "end_texture_mode"]
    assert uploaded_before_the_draw(calls)
    assert uploads(calls) == {
        "gradientType": ("int", expected), "angle": ("float", 45.0),
        "centerPos": ("vec2_ksvec", (0.25, 0.75)), "colorCount": ("int", 2),
        "alpha": ("float", 1.0),
        "colors": ("vec4_v", [(1.0, 0.0, 0.0, 1.0), (0.0, 0.0, 1.0, 1.0)]),
        "stops": ("float_v", [0.0, 0.5]), "size": ("vec2_ksvec", (20.0, 10.0))}
    args = dict(calls)  # each mode call is made once
    assert args["begin_texture_mode"] == (tex.render_texture.id,)
    assert args["begin_blend_mode"] == (int(rl.BLEND_ALPHA_PREMULTIPLY),)
    assert args["c_fast_clear"] == ((0, 0, 0, 0),)
    _, source, dest, origin, rotation, tint = args["draw_texture_pro"]
    assert (source, dest, origin, rotation, tint) == (
        (0, 0, 1, 1), (0, 0, 20, 10), (0, 0), 0.0, WHITE)
    assert (tex.size.x, tex.size.y) == (20.0, 10.0)
    assert g.generate_texture(64.9, 32.2).size.x == 64.0


def test_draw_calls():
    c = ClickGradient([RED, BLUE], transparency=128)
    c.set_center((0.1, 0.9))
    rt = rl.load_render_texture(8, 8)
    rl.begin_texture_mode(rt)
    with call_log() as calls:
        c.draw(x=0.1, y=0, width=10, height=10)
    rl.end_texture_mode()
    rl.unload_render_texture(rt)
    assert modes(calls) == ["begin_ksshader_mode", "draw_texture_pro", "end_shader_mode"]
    assert uploaded_before_the_draw(calls)
    sent = uploads(calls)
    assert {uniform: setter for uniform, (setter, _) in sent.items()} == {
        "gradientType": "int", "angle": "float", "centerPos": "vec2_tuple", "colorCount": "int",
        "alpha": "float", "colors": "vec4_v", "stops": "float_v", "size": "vec2_ksvec"}
    assert sent["gradientType"][1] == 1 and sent["centerPos"][1] == pytest.approx((0.1, 0.9))
    assert sent["alpha"][1] == pytest.approx(128 / 255, rel=1e-7)
    _, _, dest, _, _, tint = dict(calls)["draw_texture_pro"]
    assert dest == (0.10000000149011612, 0.0, 10.0, 10.0) and tint == rl.WHITE


def test_a_frames_calls_allocate_nothing_once_warm():
    # The calls a frame makes each time build no Python object: with every
    # allocation failing, a draw at a new size, a click and a reweight go on.
    testcapi = pytest.importorskip("_testcapi")
    c = ClickGradient([RED, BLUE])
    rt = rl.load_render_texture(8, 8)
    rl.begin_texture_mode(rt)
    try:
        c.draw(0, 0, 8, 8)  # the first draw makes what the next ones refill
        w, h, weight = 4, 6, 2.0
        testcapi.set_nomemory(0, 0)
        try:
            c.draw(0, 0, w, h)
            c.set_center((0.25, 0.75))
            c.set_weight(0, weight)
        finally:
            testcapi.remove_mem_hooks()
    finally:
        rl.end_texture_mode()
        rl.unload_render_texture(rt)
    assert c.center == KsVector2(0.25, 0.75) and c.weights[0] == 2.0


def test_only_colours_with_a_stop_are_counted():
    c = ClickGradient([RED, GREEN, BLUE])
    c.weights = [1.0, 1.0]
    c._recalculate_stops()  # three colours, two stops
    with call_log() as calls:
        c.draw(0, 0, 4, 4)
    assert uploads(calls)["colorCount"] == ("int", 2)


def test_draws_read_what_holds_when_they_read_it():
    # Stops changed by code the centre runs, a tint reached through a module
    # whose class changed, a kind that became a descriptor, and the hash of a
    # destination the log kept: each draw sees them as a fresh lookup would.
    import types

    c = ClickGradient([RED, GREEN, BLUE])

    class Centre(KsVector2):
        @property
        def x(self):
            c.set_weight(2, 6.0)
            return 0.5
    c.center = Centre(0.5, 0.5)
    with call_log() as calls:
        c.draw(0, 0, 4, 4)
    assert uploads(calls)["stops"][1] == c.__reduce_cython__()[-1][3]

    c = ClickGradient([RED, BLUE])
    with call_log() as first:
        c.draw(0, 0, 10, 10)
    hash(dict(first)["draw_texture_pro"][2])
    del first
    with call_log() as calls:
        c.draw(1, 2, 3, 4)
    assert dict(calls)["draw_texture_pro"][2] in {(1.0, 2.0, 3.0, 4.0)}

    md = m.md
    class Shadow(types.ModuleType):
        @property
        def rl(self):
            return types.SimpleNamespace(WHITE=(1, 2, 3, 4))
    md.__class__ = Shadow
    try:
        with call_log() as calls:
            c.draw(0, 0, 4, 4)
    finally:
        md.__class__ = types.ModuleType
    assert dict(calls)["draw_texture_pro"][5] == (1, 2, 3, 4)

    class Member:
        pass

    class Kinds:
        Linear = Member()
    c = ClickGradient([RED, BLUE], type=Kinds.Linear)
    kinds, m.GradientType = m.GradientType, Kinds
    try:
        c.draw(0, 0, 4, 4)  # the kind is linear, and may be kept
        Member.__get__ = lambda self, obj, cls: "another kind"
        with call_log() as calls:
            c.draw(0, 0, 4, 4)
    finally:
        m.GradientType = kinds
    assert uploads(calls)["gradientType"] == ("int", 1)


def test_draws_survive_code_that_changes_what_they_read():
    # A centre whose x moves the gradient's centre (freeing itself): y comes
    # from the centre the gradient holds by then.
    c = ClickGradient([RED, BLUE])

    class Centre(KsVector2):
        @property
        def x(self):
            c.set_center((0.25, 0.75))
            return 0.5
    c.center = Centre(0.5, 0.5)
    with call_log() as calls:
        c.draw(0, 0, 4, 4)
    assert uploads(calls)["centerPos"] == ("vec2_tuple", (0.5, 0.75))

    # A tint whose release draws: the draw that lets it go, in the middle of
    # its own render, is the only one that draws.
    class Tint:
        def __del__(self):
            c.draw(0, 0, 2, 2)
    white, rl.WHITE = rl.WHITE, Tint()
    try:
        with pytest.raises(TypeError):
            c.draw(0, 0, 2, 2)
    finally:
        rl.WHITE = white
    ignored = []
    with call_log() as calls, pytest.MonkeyPatch.context() as patch:
        # (Only the type: the report's traceback would keep the tint alive.)
        patch.setattr(sys, "unraisablehook", lambda report: ignored.append(type(report.exc_value)))
        c.draw(0, 0, 2, 2)
    assert [args[5] for name, args in calls if name == "draw_texture_pro"] == [white]
    assert ignored == [RuntimeError]


@pytest.mark.parametrize("swallowed", [True, False], ids=["refusal caught", "refusal raised"])
@pytest.mark.parametrize("inner", ["draw", "generate_texture"])
@pytest.mark.parametrize("hook", ["centre.x", "md.rl.WHITE", "md.rl.BlendMode"])
def test_a_render_begun_inside_another_is_refused(hook, inner, swallowed):
    with pytest.MonkeyPatch.context() as patch:  # undone at each run, for the leak hunt
        render_inside_a_render(patch, hook, inner, swallowed)


def render_inside_a_render(monkeypatch, hook, inner, swallowed):
    outer = ClickGradient([RED, BLUE], GradientType.Linear, angle=90)
    other = ClickGradient([GREEN, BLUE], GradientType.Radial, angle=33)
    refusals = []

    def render_inside():
        try:
            getattr(other, inner)(*((0, 0, 4, 4) if inner == "draw" else (4, 4)))
        except RuntimeError as e:
            refusals.append(str(e))
            if not swallowed:
                raise

    if hook == "centre.x":
        class Centre(KsVector2):
            @property
            def x(self):
                render_inside()
                return 0.5
        outer.center = Centre(0.5, 0.5)
    else:
        class Rl:
            def __getattr__(self, name):
                if name == hook.removeprefix("md.rl."):
                    render_inside()
                return getattr(rl, name)
        monkeypatch.setattr(m, "md", types.SimpleNamespace(rl=Rl()))
    render = outer.generate_texture if hook == "md.rl.BlendMode" else outer.draw
    args = (4, 4) if hook == "md.rl.BlendMode" else (0, 0, 4, 4)
    with call_log() as calls:
        if swallowed:
            render(*args)
        else:
            with pytest.raises(RuntimeError, match="already being rendered"):
                render(*args)
    assert len(refusals) == 1 and "render" in refusals[0]
    # Only the outer render reached the GPU, once, with its own uniforms,
    # and it ended every mode it began.
    sent = uploads(calls)
    assert sent["gradientType"] == ("int", 0) and sent["angle"] == ("float", 90.0)
    called = [n.replace("ksshader", "shader") for n in modes(calls)]
    assert [n.removeprefix("begin_") for n in called if n.startswith("begin_")] == [
        n.removeprefix("end_") for n in reversed(called) if n.startswith("end_")]
    assert called.count("draw_texture_pro") == (1 if swallowed else 0)


def test_names_from_the_builtins_getattr_are_looked_up_at_each_draw():
    import builtins
    import types

    def module(name, **attrs):
        mod = types.ModuleType(name)
        mod.__dict__.update(attrs)
        return mod
    mds = iter([module("md", rl=module("rl", WHITE=tint)) for tint in [(1, 2, 3, 4), WHITE]])
    linear = object()
    kinds = iter([type("Kinds", (), {"Linear": member}) for member in [linear, object()]])
    found = {"md": mds, "GradientType": kinds}

    def getattr_(name):
        if name in found:
            return next(found[name])
        raise AttributeError(name)
    c = ClickGradient([RED, BLUE], type=linear)
    saved = m.md, m.GradientType
    del m.md, m.GradientType
    builtins.__getattr__ = getattr_
    try:
        with call_log() as calls:
            c.draw(0, 0, 2, 2)
            c.draw(0, 0, 2, 2)
    finally:
        del builtins.__getattr__
        m.md, m.GradientType = saved
    assert [args[5] for name, args in calls if name == "draw_texture_pro"] == [(1, 2, 3, 4), WHITE]
    assert [args[2] for name, args in calls if name == "set_ksshader_value_int"][::2] == [0, 1]


@pytest.mark.parametrize("failing, begun", [
    ("begin_texture_mode", []),
    ("begin_blend_mode", ["end_texture_mode"]),
    ("begin_ksshader_mode", ["end_blend_mode", "end_texture_mode"]),
    ("c_fast_clear", ["end_shader_mode", "end_blend_mode", "end_texture_mode"]),
    ("draw_texture_pro", ["end_shader_mode", "end_blend_mode", "end_texture_mode"]),
    ("end_blend_mode", ["end_blend_mode", "end_texture_mode"]),
])
def test_failed_generate_texture_ends_the_modes_it_began(failing, begun):
    g = GradientRaylib([RED, BLUE])
    kr.inject_failure(failing, LookupError("injected"))
    with call_log() as calls, pytest.raises(LookupError):
        g.generate_texture(4, 4)
    called = names(calls)
    assert called[called.index(failing) + 1:] == begun


def test_failed_draw_ends_the_shader_mode():
    c = ClickGradient([RED])
    kr.inject_failure("draw_texture_pro", LookupError("injected"))
    with call_log() as calls, pytest.raises(LookupError):
        c.draw(0, 0, 1, 1)
    assert names(calls)[-2:] == ["draw_texture_pro", "end_shader_mode"]


def test_unrestored_gradients():
    bare = m.__pyx_unpickle_GradientRaylib(GradientRaylib, 0xCE08233, None)
    with call_log() as calls, pytest.raises(TypeError):
        bare.generate_texture(4, 4)
    assert calls == []
    click = m.__pyx_unpickle_ClickGradient(ClickGradient, 0xF8824C9, None)
    with call_log() as calls, pytest.raises(AttributeError):
        click.draw(0, 0, 4, 4)
    # The kind and the angle went up; the missing centre stopped the upload.
    assert set(uploads(calls)) == {"gradientType", "angle"} and modes(calls) == []


@pytest.mark.parametrize("args", [(1,), (1, 2, 3), ("a", 1)])
def test_generate_texture_argument_errors(args):
    with pytest.raises(TypeError):
        GradientRaylib([RED]).generate_texture(*args)
