"""kesa_raylib's fourteen C functions, called through their __pyx_capi__
capsules by the capi_probe test extension (which checked every capsule's
signature name when it loaded), and kesa_raylib's call log."""

import contextlib
import sys
import tracemalloc
from pathlib import Path

import pytest

from kesa_ui.core.modules import rl
from kesa_ui.fast import GradientShader
from kesa_ui.fast.ksraygrad.ksraygrad import ClickGradient, GradientRaylib
from kesa_ui.fast.ksrendertex.ks_render_tex import KsRenderTexture
from kesa_ui.fast.ksshader.ksshader import KsShader
from kesa_ui.fast.ksvector2.ksvector2 import KsVector2
from kesa_ui.fast.raylib import kesa_raylib
from support import (BLACK, PROBE_MISSING, WHITE, call_log, colours_in, gradient_modes, names,
                     read_back,
                     run_python, uniform_locations, wrapper_calls)

pytestmark = pytest.mark.backends  # also run against raylib's other GL backends

probe = pytest.importorskip("capi_probe", reason=PROBE_MISSING)

PREMULTIPLY = int(rl.BLEND_ALPHA_PREMULTIPLY)


@pytest.fixture(scope="module")
def shader():
    return KsShader.create_from_code(GradientShader.VERTEX_SHADER, GradientShader.FRAGMENT_SHADER)


@pytest.fixture(scope="module")
def locs(shader):
    return uniform_locations(shader)


@pytest.fixture(scope="module")
def white():
    img = rl.gen_image_color(1, 1, WHITE)
    tex = rl.load_texture_from_image(img)
    rl.unload_image(img)
    return tex


@pytest.fixture(autouse=True)
def quiet_log():
    """Leaves the call log off, no failure pending and no mode begun."""
    yield
    kesa_raylib.stop_call_log()
    for name in ["c_fast_clear", *kesa_raylib.__pyx_capi__]:
        kesa_raylib.inject_failure(name, None)
    probe.end_shader_mode()
    probe.end_blend_mode()
    probe.end_texture_mode()


def near(a, b, tol=2):
    return all(abs(p - q) <= tol for p, q in zip(a, b, strict=True))


SETTERS = {"gradientType": probe.set_ksshader_value_int, "angle": probe.set_ksshader_value_float,
           "centerPos": probe.set_ksshader_value_vec2_tuple,
           "colorCount": probe.set_ksshader_value_int, "alpha": probe.set_ksshader_value_float,
           "colors": probe.set_ksshader_value_vec4_v, "stops": probe.set_ksshader_value_float_v,
           "size": probe.set_ksshader_value_vec2_ksvec}


def upload(shader, locs, **values):
    """Sets the gradient shader's uniforms, in the order given, through the
    capsule that fits each."""
    for name, value in values.items():
        SETTERS[name](shader, locs[name], value)


# --- shader, uniforms and modes -----------------------------------------------------


def test_gradient_shader_has_eight_distinct_uniform_locations(locs):
    # (capi_probe bound all fourteen capsules by signature; there are no others.)
    assert len(kesa_raylib.__pyx_capi__) == 14
    assert -1 not in locs.values()
    assert len(set(locs.values())) == 8
    assert probe.get_ksshader_location(KsShader.create_from_code(None, None), "angle") == -1


# --- uniform array capacity -------------------------------------------------------------

VEC4, FLOAT = (probe.set_ksshader_value_vec4_v, (1.0, 0.5, 0.0, 1.0)), (
    probe.set_ksshader_value_float_v, 0.25)


@pytest.mark.parametrize(
    "name, setter, holds",
    [("colors", VEC4, 64), ("colors[10]", VEC4, 54), ("stops", FLOAT, 64),
     ("stops[63]", FLOAT, 1), ("angle", FLOAT, 1)],
)
def test_array_setters_refuse_more_values_than_the_uniform_holds(shader, name, setter, holds):
    (setter, value), loc = setter, probe.get_ksshader_location(shader, name)
    for _ in range(2):  # the second time from the cache
        setter(shader, loc, [value] * holds)
        with pytest.raises(ValueError, match=rf"^this gradient has {holds + 1} colour.*; "
                                             rf"the shader on this GPU holds {holds}: use at "
                                             rf"most {holds}, or .*GradientPygame"):
            setter(shader, loc, [value] * (holds + 1))
    setter(shader, -1, [value] * 1000)  # GL ignores location -1: nothing to check


def test_capacity_is_asked_again_when_a_program_id_is_reused(shader, locs):
    source = GradientShader.FRAGMENT_SHADER
    big = KsShader.create_from_code(None, source.replace("[64]", "[8]"))
    loc, old_id = probe.get_ksshader_location(big, "colors"), big.id
    probe.set_ksshader_value_vec4_v(big, loc, [(1, 1, 1, 1)] * 8)
    # Uploading made `big` GL's current program; GL frees its id once it is not.
    probe.set_ksshader_value_float(shader, locs["angle"], 0.0)
    del big
    small = KsShader.create_from_code(None, source.replace("[64]", "[4]"))
    if (small.id, probe.get_ksshader_location(small, "colors")) != (old_id, loc):
        pytest.skip("GL gave the new program another id or layout")
    with pytest.raises(ValueError, match="^this gradient has 5 colours; .* holds 4: use at most 4"):
        probe.set_ksshader_value_vec4_v(small, loc, [(1, 1, 1, 1)] * 5)


def test_the_shader_is_sized_to_the_gpu_and_refused_without_shaders():
    version = rl.rl_get_version()
    assert "[64]" in GradientShader.FRAGMENT_SHADER  # Mesa holds thousands of vectors
    # A GPU with the fewest fragment uniforms OpenGL ES 2.0 allows.
    assert "[5]" in GradientShader.fragment_shader(version, 16)
    with pytest.raises(RuntimeError, match="too few"):
        GradientShader.fragment_shader(version, 9)
    # rl's table of backends covers every rlGlVersion, read-only, and the
    # shader has a dialect for each backend with shaders.
    assert set(rl.GL_BACKENDS) == set(rl.rlGlVersion)
    with pytest.raises(TypeError):
        rl.GL_BACKENDS[rl.RL_OPENGL_33] = ("OpenGL 3.3", False)
    for backend, (built_for, shaders) in rl.GL_BACKENDS.items():
        if shaders:
            assert GradientShader.preamble(backend).startswith("#version")
        else:
            with pytest.raises(RuntimeError, match=f"built for {built_for}, without programmable "
                                                   "shaders.*GradientPygame"):
                GradientShader.fragment_shader(backend)


@pytest.mark.parametrize("render", [
    lambda c: GradientRaylib(c).generate_texture(4, 4),
    lambda c: ClickGradient(c).draw(0, 0, 4, 4),
])
def test_gradients_with_more_colours_than_the_shader_holds_fail(render):
    render([(i, 0, 0, 255) for i in range(64)])
    with pytest.raises(ValueError,
                       match="^this gradient has 65 colours; the shader on this GPU holds 64: "
                             "use at most 64, or draw it with GradientPygame"):
        render([(i, 0, 0, 255) for i in range(65)])


def reference(gradient_type, angle, center, colors, stops, alpha, w, h, x, y):
    """The gradient shader's colour for pixel (x, y), as straight RGBA 0..255."""
    import math

    px, py = x + 0.5, y + 0.5
    if gradient_type == 0:
        a = math.radians(angle)
        dx, dy = math.cos(a), math.sin(a)
        t = ((px - w / 2) * dx + (py - h / 2) * dy) / (abs(dx) * w + abs(dy) * h) + 0.5
    else:
        cx, cy = center[0] * w, center[1] * h
        far = math.hypot(max(cx, w - cx), max(cy, h - cy))
        t = math.hypot(px - cx, py - cy) / far
    pm = [(r * a, g * a, b * a, a) for r, g, b, a in colors]
    color = pm[-1]
    for i in range(1, len(colors)):
        if stops[i] > t:
            k = min(max((t - stops[i - 1]) / (stops[i] - stops[i - 1]), 0.0), 1.0)
            color = [c + (n - c) * k for c, n in zip(pm[i - 1], pm[i])]
            break
    a = color[3] * alpha
    return tuple(round(v * 255) for v in (*(c / color[3] for c in color[:3]), a))


RED_TO_BLUE = [(1.0, 0.0, 0.0, 1.0), (0.0, 0.0, 1.0, 1.0)]


@pytest.mark.parametrize(
    "gradient_type, angle, center, colors, stops, alpha",
    [
        (0, 0.0, (0.5, 0.5), RED_TO_BLUE, [0.0, 1.0], 1.0),
        (0, 90.0, (0.5, 0.5), RED_TO_BLUE, [0.0, 1.0], 1.0),
        (1, 0.0, (1.0, 0.0), RED_TO_BLUE, [0.0, 1.0], 1.0),
        (0, 225.0, (0.5, 0.5), [(1, 0, 0, 1), (0, 1, 0, 1), (0, 0, 1, 1)], [0.0, 0.3, 1.0], 1.0),
        (0, 0.0, (0.5, 0.5), [(0.0, 1.0, 0.0, 1.0)], [0.0], 0.5),
    ],
)
def test_uniform_setters_drive_the_gradient_shader(
    shader, locs, white, gradient_type, angle, center, colors, stops, alpha
):
    # The same sequence as a gradient's render: upload, three modes, clear, draw.
    w, h = 8, 6
    target = KsRenderTexture(KsVector2(w, h))
    upload(shader, locs, gradientType=gradient_type, angle=angle, centerPos=center,
           colorCount=len(colors), alpha=alpha, colors=colors, stops=stops, size=KsVector2(w, h))
    with gradient_modes(target, shader):
        probe.fast_clear(target, (0, 0, 0, 0))
        probe.draw_texture_pro(white, (0, 0, 1, 1), (0, 0, w, h), (0, 0), 0.0, WHITE)
    got = read_back(target)
    for y in range(h):
        for x in range(w):
            want = reference(gradient_type, angle, center, colors, stops, alpha, w, h, x, y)
            assert near(got[y][x], want, 3), (x, y, got[y][x], want)


@pytest.mark.parametrize(
    "dest, origin, rotation, tint, painted",
    [
        ((0, 0, 4, 6), (0, 0), 0.0, WHITE, lambda x, y: x < 4),
        ((0, 4, 8, 2), (0, 0), 0.0, WHITE, lambda x, y: y >= 4),
        ((3.0, 3.0, 2.0, 2.0), (1.0, 1.0), 0.0, WHITE, lambda x, y: 2 <= x < 4 and 2 <= y < 4),
        # Turned a quarter clockwise about (8, 0): the width runs down, the height left.
        ((8, 0, 6, 5), (0, 0), 90.0, WHITE, lambda x, y: x >= 3),
        ((0, 0, 8, 6), (0, 0), 0.0, (0, 200, 0, 255), lambda x, y: True),
    ],
)
def test_draw_texture_pro_paints_the_destination(white, dest, origin, rotation, tint, painted):
    target = KsRenderTexture(KsVector2(8, 6))
    target.fast_clear(BLACK)
    probe.begin_texture_mode(target.render_texture)
    probe.draw_texture_pro(white, (0, 0, 1, 1), dest, origin, rotation, tint)
    probe.end_texture_mode()
    got = read_back(target)
    for y in range(6):
        for x in range(8):
            assert got[y][x] == (tint if painted(x, y) else BLACK), (x, y)


def test_fast_clear_works_inside_the_callers_modes_and_keeps_them(shader, locs, white):
    target = KsRenderTexture(KsVector2(4, 4))
    other = KsRenderTexture(KsVector2(4, 4))
    # The shader paints opaque red at half alpha (straight: 1, 0, 0, 0.5).
    upload(shader, locs, colorCount=1, colors=[(1.0, 0.0, 0.0, 1.0)], alpha=0.5,
           size=KsVector2(4, 4))
    with gradient_modes(target, shader):
        probe.fast_clear(target, (10, 20, 30, 40))
        probe.fast_clear(other, (1, 2, 3, 4))  # another target, cleared in passing
        probe.draw_texture_pro(white, (0, 0, 1, 1), (0, 0, 2, 4), (0, 0), 0.0, WHITE)
    got = read_back(target)
    # Shader output plus the cleared colour times (1 - 0.5): the draw still went
    # to this target, through the shader, with premultiplied blending.
    blended = (255, 10, 15, round(127.5 + 20))
    assert all(near(got[y][x], blended) for y in range(4) for x in range(2)), got
    assert {got[y][x] for y in range(4) for x in range(2, 4)} == {(10, 20, 30, 40)}
    assert colours_in(other) == {(1, 2, 3, 4)}


def test_blend_modes_begin_and_end(white):
    target = KsRenderTexture(KsVector2(2, 1))

    def draw_half_white_over_blue(mode):
        target.fast_clear((0, 0, 255, 255))
        probe.begin_texture_mode(target.render_texture)
        if mode is not None:
            probe.begin_blend_mode(mode)
        probe.draw_texture_pro(white, (0, 0, 1, 1), (0, 0, 2, 1), (0, 0), 0.0, (255, 255, 255, 128))
        if mode is not None:
            probe.end_blend_mode()
        probe.end_texture_mode()
        return read_back(target)[0][0]

    # White at alpha a = 128/255 over opaque blue, per blend mode.
    assert near(draw_half_white_over_blue(int(rl.BLEND_ADDITIVE)), (128, 128, 255, 255))
    assert near(draw_half_white_over_blue(PREMULTIPLY), (255, 255, 255, 255))
    # Ended: back to raylib's alpha blending (alpha a*a + (1 - a)).
    assert near(draw_half_white_over_blue(None), (128, 128, 255, 191))


# --- argument checks and missing window -----------------------------------------------


@pytest.fixture
def env(shader, white):
    return {"shader": shader, "tex": white, "target": KsRenderTexture(KsVector2(2, 2))}


def draw(e, **changed):
    """draw_texture_pro with valid arguments but those `changed`."""
    args = dict(texture=e["tex"], source=(0, 0, 1, 1), dest=(0, 0, 1, 1), origin=(0, 0),
                rotation=0, tint=WHITE)
    return probe.draw_texture_pro(*(args | changed).values())


TYPE_ERRORS = {
    "begin_ksshader_mode(None)": lambda e: probe.begin_ksshader_mode(None),
    "begin_ksshader_mode(tex)": lambda e: probe.begin_ksshader_mode(e["tex"]),
    "get_location(None)": lambda e: probe.get_ksshader_location(None, "angle"),
    "get_location(name=int)": lambda e: probe.get_ksshader_location(e["shader"], 5),
    "draw(texture=None)": lambda e: draw(e, texture=None),
    "draw(texture=target)": lambda e: draw(e, texture=e["target"].render_texture),
    "draw(source=list)": lambda e: draw(e, source=[0, 0, 1, 1]),
    "draw(dest=3-tuple)": lambda e: draw(e, dest=(0, 0, 1)),
    "draw(dest=str item)": lambda e: draw(e, dest=(0, 0, 1, "1")),
    "draw(origin=None)": lambda e: draw(e, origin=None),
    "draw(tint=None)": lambda e: draw(e, tint=None),
    "begin_texture_mode(None)": lambda e: probe.begin_texture_mode(None),
    "begin_texture_mode(KsRenderTexture)": lambda e: probe.begin_texture_mode(e["target"]),
    "vec2_tuple(shader=None)": lambda e: probe.set_ksshader_value_vec2_tuple(None, 0, (1, 2)),
    "vec2_tuple(list)": lambda e: probe.set_ksshader_value_vec2_tuple(e["shader"], 0, [1, 2]),
    "vec2_tuple(str items)": lambda e: probe.set_ksshader_value_vec2_tuple(e["shader"], 0, ("a", "b")),
    "vec2_tuple(None)": lambda e: probe.set_ksshader_value_vec2_tuple(e["shader"], 0, None),
    "float(None)": lambda e: probe.set_ksshader_value_float(None, 0, 1.0),
    "int(tex)": lambda e: probe.set_ksshader_value_int(e["tex"], 0, 1),
    "vec4_v(None)": lambda e: probe.set_ksshader_value_vec4_v(None, 0, [(1, 1, 1, 1)]),
    "float_v(None)": lambda e: probe.set_ksshader_value_float_v(None, 0, [1.0]),
    "ksvec(shader=None)": lambda e: probe.set_ksshader_value_vec2_ksvec(None, 0, KsVector2()),
    "ksvec(tuple)": lambda e: probe.set_ksshader_value_vec2_ksvec(e["shader"], 0, (1.0, 2.0)),
    "ksvec(None)": lambda e: probe.set_ksshader_value_vec2_ksvec(e["shader"], 0, None),
    "fast_clear(self=None)": lambda e: probe.fast_clear(None, (0, 0, 0, 0)),
    "fast_clear(color=None)": lambda e: probe.fast_clear(e["target"], None),
    "fast_clear(color=str)": lambda e: e["target"].fast_clear("red"),
}


@pytest.mark.parametrize("call", TYPE_ERRORS.values(), ids=TYPE_ERRORS.keys())
def test_wrong_argument_types_raise_type_error(env, call):
    with pytest.raises(TypeError):
        call(env)


@pytest.mark.parametrize(
    "call",
    [
        lambda e: probe.begin_blend_mode(-1),
        lambda e: probe.begin_blend_mode(99),
        lambda e: probe.get_ksshader_location(e["shader"], "alpha\0"),
        lambda e: probe.fast_clear(e["target"], (0, 0, 0, 256)),
    ],
)
def test_bad_values_raise_value_error(env, call):
    with pytest.raises(ValueError):
        call(env)


def test_every_call_raises_runtime_error_without_a_window():
    proc = run_python(
        """
        import capi_probe as p
        from support import wrapper_calls
        from kesa_ui.fast import GradientShader
        from kesa_ui.fast.ksrendertex.ks_render_tex import KsRenderTexture
        from kesa_ui.fast.ksshader.ksshader import KsShader
        from kesa_ui.fast.ksvector2.ksvector2 import KsVector2

        def outcome(call):
            try:
                call()
                return "ok"
            except Exception as e:
                return type(e).__name__

        src = GradientShader.FRAGMENT_SHADER
        size = KsVector2(2, 2)
        never = [lambda: KsShader.create_from_code(None, src), lambda: p.shader_create(None, None),
                 lambda: KsRenderTexture(size), lambda: p.render_texture_new(size),
                 p.end_blend_mode, p.end_shader_mode, p.end_texture_mode,
                 lambda: p.begin_blend_mode(0)]
        print(*map(outcome, never))

        # Objects made under a window that has closed since.
        open_window(log_level=rl.LOG_NONE)
        sh = KsShader.create_from_code(None, src)
        t = KsRenderTexture(size)
        img = rl.gen_image_color(1, 1, rl.WHITE)
        tex = rl.load_texture_from_image(img)
        rt = t.render_texture
        rl.close_window()
        closed = [*wrapper_calls(p, sh, tex, t).values(), lambda: t.fast_clear((0, 0, 0, 0))]
        print(*map(outcome, closed))
        t.unload()      # no GL call: the context is gone
        del sh, t       # nor on destruction
        print("done", rt.id)
        """,
        path=[Path(probe.__file__).parent],
        window=True,
    )
    never, closed, done = proc.stdout.splitlines()
    assert never.split() == ["RuntimeError"] * 8
    assert closed.split() == ["RuntimeError"] * 16
    assert done == "done 0"


# --- the call log -----------------------------------------------------------------------


def test_call_log_records_every_call_with_plain_arguments(shader, locs, white):
    target = KsRenderTexture(KsVector2(4, 4))
    with call_log() as log, gradient_modes(target, shader):
        target.fast_clear((0, 0, 0, 0))
        probe.get_ksshader_location(shader, "alpha")
        upload(shader, locs, colorCount=2, alpha=0.5, centerPos=(1, 0.25), size=KsVector2(4, 2),
               colors=[(1, 0, 0, 1), (0, 0.5, 1, 1)], stops=[0, 0.25])
        probe.draw_texture_pro(white, (0, 0, 1, 1), (0, 0, 4.5, 4), (0, 0), 0.0, WHITE)
    sid = shader.id
    assert log == [
        ("begin_texture_mode", (target.render_texture.id,)),
        ("begin_blend_mode", (PREMULTIPLY,)),
        ("begin_ksshader_mode", (sid,)),
        ("c_fast_clear", ((0, 0, 0, 0),)),
        ("get_ksshader_location", (sid, "alpha")),
        ("set_ksshader_value_int", (sid, locs["colorCount"], 2)),
        ("set_ksshader_value_float", (sid, locs["alpha"], 0.5)),
        ("set_ksshader_value_vec2_tuple", (sid, locs["centerPos"], (1.0, 0.25))),
        ("set_ksshader_value_vec2_ksvec", (sid, locs["size"], (4.0, 2.0))),
        ("set_ksshader_value_vec4_v", (sid, locs["colors"], [(1, 0, 0, 1), (0, 0.5, 1, 1)])),
        ("set_ksshader_value_float_v", (sid, locs["stops"], [0.0, 0.25])),
        ("draw_texture_pro", (white.id, (0, 0, 1, 1), (0, 0, 4.5, 4), (0, 0), 0.0, WHITE)),
        ("end_shader_mode", ()),
        ("end_blend_mode", ()),
        ("end_texture_mode", ()),
    ]
    # Vectors and float sequences are recorded as floats, whatever was given.
    sent = {name.removeprefix("set_ksshader_value_"): args[-1] for name, args in log
            if name.startswith("set_ksshader_value_")}
    floats = [*sent["vec2_tuple"], *sent["vec2_ksvec"], *sent["vec4_v"][1], *sent["float_v"],
              sent["float"]]
    assert {type(v) for v in floats} == {float}
    assert all(type(entry[1]) is tuple for entry in log)


def test_calls_that_raise_are_recorded_first(shader):
    kesa_raylib.start_call_log()
    with pytest.raises(TypeError):
        probe.begin_texture_mode(None)
    with pytest.raises(TypeError):
        probe.set_ksshader_value_vec2_tuple(None, 3, [1, 2])
    with pytest.raises(ValueError):
        probe.begin_blend_mode(99)
    with pytest.raises(TypeError):
        probe.set_ksshader_value_vec2_ksvec(shader, 1, (1, 2))
    assert kesa_raylib.stop_call_log() == [
        ("begin_texture_mode", (None,)),
        ("set_ksshader_value_vec2_tuple", (None, 3, [1, 2])),
        ("begin_blend_mode", (99,)),
        ("set_ksshader_value_vec2_ksvec", (shader.id, 1, (1, 2))),
    ]


def test_only_the_fifteen_calls_made_while_logging_are_recorded():
    target = KsRenderTexture(KsVector2(2, 2))
    probe.end_blend_mode()  # before the log starts
    kesa_raylib.start_call_log()
    probe.end_blend_mode()
    kesa_raylib.start_call_log()  # starts over
    probe.end_shader_mode()
    # Not recorded: constructors, unload, the rl binding itself.
    KsShader.create_from_code(None, None)
    KsRenderTexture(KsVector2(1, 1)).unload()
    rl.begin_blend_mode(0)
    rl.end_blend_mode()
    target.fast_clear((1, 2, 3, 4))
    assert kesa_raylib.stop_call_log() == [
        ("end_shader_mode", ()),
        ("c_fast_clear", ((1, 2, 3, 4),)),
    ]
    probe.end_texture_mode()  # after it stopped
    assert kesa_raylib.stop_call_log() == []


NAMES = ["c_fast_clear", *kesa_raylib.__pyx_capi__]


@pytest.mark.parametrize("name", NAMES)
# An instance is made per run: a raised instance keeps its traceback.
@pytest.mark.parametrize("make_exc", [lambda: LookupError("injected"), lambda: KeyError])
def test_injected_failure_fires_once_after_the_call_is_recorded(env, name, make_exc):
    call = wrapper_calls(probe, env["shader"], env["tex"], env["target"])[name]
    kesa_raylib.start_call_log()
    kesa_raylib.inject_failure(name, make_exc())
    with pytest.raises(LookupError):
        call()
    call()  # once only
    log = kesa_raylib.stop_call_log()
    assert names(log) == [name, name] and log[0] == log[1]


def test_a_failed_begin_or_clear_has_done_nothing(env):
    target = env["target"]
    target.fast_clear((0, 0, 255, 255))
    kesa_raylib.inject_failure("begin_texture_mode", RuntimeError("no"))
    kesa_raylib.inject_failure("c_fast_clear", RuntimeError("no"))
    with pytest.raises(RuntimeError, match="no"):
        probe.begin_texture_mode(target.render_texture)
    with pytest.raises(RuntimeError, match="no"):
        target.fast_clear((255, 0, 0, 255))
    rl.clear_background(rl.RED)  # had texture mode begun, this would clear the target
    assert colours_in(target) == {(0, 0, 255, 255)}


@pytest.mark.parametrize(
    "name, exc, error",
    [
        ("draw_texture", ValueError(), ValueError),
        (b"end_blend_mode", ValueError(), TypeError),
        ("end_blend_mode", "boom", TypeError),
        ("end_blend_mode", int, TypeError),
    ],
)
def test_inject_failure_checks_its_arguments(name, exc, error):
    with pytest.raises(error):
        kesa_raylib.inject_failure(name, exc)
    probe.end_blend_mode()  # nothing was armed


def test_withdrawn_failure_does_not_fire():
    kesa_raylib.inject_failure("end_texture_mode", ValueError())
    kesa_raylib.inject_failure("end_texture_mode", None)
    probe.end_texture_mode()


# --- references ------------------------------------------------------------------------


def test_calls_leak_neither_references_nor_memory(shader, locs, white):
    target = KsRenderTexture(KsVector2(2, 2))
    rect, origin, tint, pair = (0, 0, 1, 1), (0, 0), (255, 255, 255, 255), (0.5, 0.5)
    vec, bad = KsVector2(1, 2), ("x", 1)
    watched = [shader, white, target, rect, origin, tint, pair, vec, bad, target.render_texture]

    def cycle():
        for logging in (False, True):
            if logging:
                kesa_raylib.start_call_log()
            probe.begin_texture_mode(target.render_texture)
            probe.begin_ksshader_mode(shader)
            probe.set_ksshader_value_vec2_tuple(shader, locs["centerPos"], pair)
            probe.set_ksshader_value_vec2_ksvec(shader, locs["size"], vec)
            probe.set_ksshader_value_vec4_v(shader, locs["colors"], [(1, 0, 0, 1)] * 4)
            probe.set_ksshader_value_float_v(shader, locs["stops"], [0.0] * 4)
            probe.fast_clear(target, tint)
            probe.draw_texture_pro(white, rect, rect, origin, 0.0, tint)
            probe.end_shader_mode()
            probe.end_texture_mode()
            for fail in (
                lambda: probe.set_ksshader_value_vec2_tuple(shader, 0, bad),
                lambda: probe.draw_texture_pro(white, rect, bad, origin, 0.0, tint),
                lambda: probe.get_ksshader_location(shader, bad),
                lambda: probe.fast_clear(target, bad),
                lambda: KsShader.create_from_code(None, "#version 330\nvoid main() { x }\n"),
            ):
                with contextlib.suppress(TypeError, ValueError, RuntimeError):
                    fail()
            KsRenderTexture(vec).unload()
            probe.vector2_new(1, 2)
            kesa_raylib.stop_call_log()

    rl.set_trace_log_level(rl.LOG_NONE)
    try:
        for _ in range(20):
            cycle()
        refs = [sys.getrefcount(o) for o in watched]
        tracemalloc.start()
        start = tracemalloc.get_traced_memory()[0]
        for _ in range(200):
            cycle()
        grown = tracemalloc.get_traced_memory()[0] - start
        tracemalloc.stop()
    finally:
        rl.set_trace_log_level(rl.LOG_WARNING)
    assert [sys.getrefcount(o) for o in watched] == refs
    assert grown < 20_000
