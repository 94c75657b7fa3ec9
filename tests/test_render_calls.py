"""What rendering asks of the raylib wrapper, read from its call log: the
uniform upload, the modes in order, and the unwinding of begun modes when a
step fails."""

import pytest

from kesa_ui.core import GradientType
from kesa_ui.core.modules import rl
from kesa_ui.fast.ksraygrad import ksraygrad as m
from kesa_ui.fast.ksraygrad.ksraygrad import ClickGradient, GradientRaylib
from kesa_ui.fast.raylib import kesa_raylib as kr
from support import run_python

RED, BLUE = (255, 0, 0, 255), (0, 0, 255, 255)
UNIFORMS = ["gradientType", "angle", "centerPos", "colors", "stops", "colorCount", "alpha",
            "size"]


def logged(fn, *args, **kwargs):
    kr.start_call_log()
    try:
        result = fn(*args, **kwargs)
    finally:
        calls = kr.stop_call_log()
    return result, calls


def names(calls):
    return [name for name, _ in calls]


def test_first_ensure_resources_queries_the_eight_locations_once():
    proc = run_python(
        """
        from kesa_ui.core.modules import rl
        rl.set_trace_log_level(rl.LOG_WARNING)
        rl.set_config_flags(rl.FLAG_WINDOW_HIDDEN)
        rl.init_window(32, 32, "t")
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
        """
    )
    lines = proc.stdout.strip().splitlines()
    assert eval(lines[0]) == UNIFORMS
    assert lines[1] == "8 []"


def test_failed_location_lookup_leaves_the_shader_and_earlier_locations():
    proc = run_python(
        """
        from kesa_ui.core.modules import rl
        rl.set_trace_log_level(rl.LOG_WARNING)
        rl.set_config_flags(rl.FLAG_WINDOW_HIDDEN)
        rl.init_window(32, 32, "t")
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
        print([a[1] for n, a in calls if n.startswith("set_ksshader_value")][:2])
        """
    )
    out = proc.stdout.strip().splitlines()
    assert out[0] == "failed lookup"
    assert out[1] == "[]"
    # The first location stayed -1; the others were never looked up.
    assert eval(out[2]) == [-1, -1]


@pytest.mark.parametrize("kind, expected", [(GradientType.Linear, 0), (GradientType.Radial, 1),
                                            (None, 1)])
def test_generate_texture_calls(kind, expected):
    g = GradientRaylib([RED, (BLUE, 3)], kind, angle=45, center=(0.25, 0.75), transparency=3)
    tex, calls = logged(g.generate_texture, width=20, height=10)
    assert names(calls) == [
        "set_ksshader_value_int", "set_ksshader_value_float", "set_ksshader_value_vec2_ksvec",
        "set_ksshader_value_int", "set_ksshader_value_float", "set_ksshader_value_vec4_v",
        "set_ksshader_value_float_v", "set_ksshader_value_vec2_ksvec", "begin_texture_mode",
        "begin_blend_mode", "begin_ksshader_mode", "c_fast_clear", "draw_texture_pro",
        "end_shader_mode", "end_blend_mode", "end_texture_mode"]
    args = [a for _, a in calls]
    assert args[0][2] == expected and args[1][2] == 45.0
    assert args[2][2] == (0.25, 0.75) and args[3][2] == 2 and args[4][2] == 1.0
    assert args[5][2] == [(1.0, 0.0, 0.0, 1.0), (0.0, 0.0, 1.0, 1.0)]
    assert args[6][2] == [0.0, 0.5] and args[7][2] == (20.0, 10.0)
    assert args[8] == (tex.render_texture.id,) and args[9] == (int(rl.BLEND_ALPHA_PREMULTIPLY),)
    assert args[11] == ((0, 0, 0, 0),)
    assert args[12][1:] == ((0, 0, 1, 1), (0, 0, 20, 10), (0, 0), 0.0, (255, 255, 255, 255))
    assert (tex.size.x, tex.size.y) == (20.0, 10.0)
    assert g.generate_texture(64.9, 32.2).size.x == 64.0


def test_draw_calls():
    c = ClickGradient([RED, BLUE], transparency=128)
    c.set_center((0.1, 0.9))
    rt = rl.load_render_texture(8, 8)
    rl.begin_texture_mode(rt)
    _, calls = logged(c.draw, x=0.1, y=0, width=10, height=10)
    rl.end_texture_mode()
    rl.unload_render_texture(rt)
    assert names(calls) == [
        "set_ksshader_value_int", "set_ksshader_value_float", "set_ksshader_value_vec2_tuple",
        "set_ksshader_value_int", "set_ksshader_value_float", "set_ksshader_value_vec4_v",
        "set_ksshader_value_float_v", "set_ksshader_value_vec2_ksvec", "begin_ksshader_mode",
        "draw_texture_pro", "end_shader_mode"]
    args = [a for _, a in calls]
    assert args[0][2] == 1 and args[2][2] == pytest.approx((0.1, 0.9))
    assert args[4][2] == pytest.approx(128 / 255, rel=1e-7)
    assert args[9][2] == (0.10000000149011612, 0.0, 10.0, 10.0)
    assert args[9][5] == rl.WHITE


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
    kr.start_call_log()
    with pytest.raises(LookupError):
        g.generate_texture(4, 4)
    calls = names(kr.stop_call_log())
    assert calls[calls.index(failing) + 1:] == begun


def test_failed_draw_ends_the_shader_mode():
    c = ClickGradient([RED])
    kr.inject_failure("draw_texture_pro", LookupError("injected"))
    kr.start_call_log()
    with pytest.raises(LookupError):
        c.draw(0, 0, 1, 1)
    assert names(kr.stop_call_log())[-2:] == ["draw_texture_pro", "end_shader_mode"]


def test_unrestored_gradients():
    bare = m.__pyx_unpickle_GradientRaylib(GradientRaylib, 0xCE08233, None)
    kr.start_call_log()
    with pytest.raises(TypeError):
        bare.generate_texture(4, 4)
    assert kr.stop_call_log() == []
    click = m.__pyx_unpickle_ClickGradient(ClickGradient, 0xF8824C9, None)
    kr.start_call_log()
    with pytest.raises(AttributeError):
        click.draw(0, 0, 4, 4)
    assert len(kr.stop_call_log()) == 2  # U1 and U2 went up


@pytest.mark.parametrize("args", [(1,), (1, 2, 3), ("a", 1)])
def test_generate_texture_argument_errors(args):
    with pytest.raises(TypeError):
        GradientRaylib([RED]).generate_texture(*args)
