"""The platform layer's types (KsVector2, KsRect, KsRenderTexture, KsShader)
and the toolkit's Python modules, under the session's hidden window."""

import copy
import math
import os
import pickle

import pytest

from kesa_ui.core import GradientDirection, GradientType
from kesa_ui.core.modules import rl
from kesa_ui.fast import GradientShader
from kesa_ui.fast.ksrect.ksrect import KsRect
from kesa_ui.fast.ksrendertex.ks_render_tex import KsRenderTexture
from kesa_ui.fast.ksshader.ksshader import KsShader
from kesa_ui.fast.ksvector2.ksvector2 import KsVector2
from support import PROBE_MISSING, colours_in, f32, run_python

pytestmark = pytest.mark.backends  # also run against raylib's other GL backends

probe = pytest.importorskip("capi_probe", reason=PROBE_MISSING)


class SubVector(KsVector2):
    pass


# --- KsVector2 ------------------------------------------------------------------


@pytest.mark.parametrize("cls", [KsVector2, SubVector])
@pytest.mark.parametrize(
    "args, kwargs, expected",
    [
        ((), {}, (0.0, 0.0)),
        ((1,), {}, (1.0, 0.0)),
        ((1.5, -2), {}, (1.5, -2.0)),
        ((), {"y": 3}, (0.0, 3.0)),
        ((4,), {"y": 5.5}, (4.0, 5.5)),
        ((), {"y": 1, "x": 2}, (2.0, 1.0)),
    ],
)
def test_vector_construction(cls, args, kwargs, expected):
    v = cls(*args, **kwargs)
    assert type(v) is cls
    assert (v.x, v.y) == expected
    assert type(v.x) is float and type(v.y) is float


@pytest.mark.parametrize("cls", [KsVector2, SubVector])
@pytest.mark.parametrize(
    "args, kwargs, message",
    [
        (("1",), {}, "must be real number, not str"),
        ((None,), {}, "must be real number, not NoneType"),
        ((1, 2, 3), {}, "KsVector2() takes at most 2 arguments (3 given)"),
        ((), {"z": 1}, "KsVector2() got an unexpected keyword argument 'z'"),
        ((1,), {"x": 2}, "argument for KsVector2() given by name ('x') and position (1)"),
        ((), {"x": 1, "y": 2, "z": 3}, "KsVector2() takes at most 2 keyword arguments (3 given)"),
    ],
)
def test_vector_construction_rejects_bad_arguments(cls, args, kwargs, message):
    """The exact type (its own vectorcall) and a subclass (tp_new) alike."""
    with pytest.raises(TypeError) as info:
        cls(*args, **kwargs)
    assert str(info.value) == message


def test_vector_attributes_are_read_write_floats():
    v = KsVector2(1, 2)
    v.x, v.y = 3, -0.25
    assert (v.x, v.y) == (3.0, -0.25)
    with pytest.raises(TypeError):
        v.x = "4"
    with pytest.raises(TypeError):
        del v.y
    assert (v.x, v.y) == (3.0, -0.25)


def test_vector_reads_as_an_x_y_pair():
    v = SubVector(1.5, -2)
    assert (v[0], v[1], v[-1], len(v)) == (1.5, -2.0, -2.0, 2)
    x, y = KsVector2(3, 4)
    assert (x, y) == (3.0, 4.0) and tuple(v) == (1.5, -2.0)
    with pytest.raises(IndexError):
        v[2]
    with pytest.raises(TypeError):
        v["x"]


def test_vector_equality_is_by_value():
    assert KsVector2(1, 2) == KsVector2(1.0, 2.0) == SubVector(1, 2)
    assert KsVector2(1, 2) != KsVector2(1, 2.5)
    assert not KsVector2(1, 2) != KsVector2(1, 2)
    # Other types are not vectors: comparison falls back to identity.
    assert KsVector2(1, 2) != (1.0, 2.0)
    with pytest.raises(TypeError):
        KsVector2(1, 2) < KsVector2(3, 4)
    with pytest.raises(TypeError):
        hash(KsVector2())


def test_vector_repr_names_the_class():
    assert repr(KsVector2(1, 2.5)) == "KsVector2(1.0, 2.5)"
    assert repr(SubVector(-0.0, 3)) == "SubVector(-0.0, 3.0)"


@pytest.mark.parametrize("protocol", range(pickle.HIGHEST_PROTOCOL + 1))
def test_vector_pickles_and_copies(protocol):
    v = KsVector2(0.1, -7.0)
    back = pickle.loads(pickle.dumps(v, protocol))
    assert type(back) is KsVector2 and back == v and back is not v
    sub = SubVector(1, 2)
    sub.tag = "kept"
    back = pickle.loads(pickle.dumps(sub, protocol))
    assert type(back) is SubVector and back == sub and back.tag == "kept"
    assert copy.copy(v) == v and copy.deepcopy(sub).tag == "kept"


def test_vector_c_new_makes_exact_vectors_even_after_subclass_instances_die():
    # Subclass instances must never be recycled as exact vectors.
    subs = [SubVector(i, i) for i in range(100)]
    del subs
    made = [probe.vector2_new(i, -i) for i in range(100)] + [KsVector2(i, i) for i in range(100)]
    assert all(type(v) is KsVector2 for v in made)
    assert [(v.x, v.y) for v in made[:3]] == [(0.0, -0.0), (1.0, -1.0), (2.0, -2.0)]
    del made
    assert [(v.x, v.y) for v in (KsVector2(5, 6), probe.vector2_new(7, 8))] == [(5, 6), (7, 8)]


# --- KsRect ------------------------------------------------------------------------


def test_rect_stores_32_bit_floats():
    r = KsRect(0.1, y=2, h=1e-3)
    assert (r.x, r.y, r.w, r.h) == (f32(0.1), 2.0, 0.0, f32(1e-3))
    r.w = 0.2
    assert r.w == f32(0.2)
    with pytest.raises(TypeError):
        KsRect("1")
    assert repr(KsRect(1, 2, 3, 4)) == "KsRect(1.0, 2.0, 3.0, 4.0)"


def test_rect_c_new_and_pickle():
    r = probe.rect_new(1, 2, 3, 4.5)
    assert type(r) is KsRect and (r.x, r.y, r.w, r.h) == (1, 2, 3, 4.5)
    assert pickle.loads(pickle.dumps(r)) == r != KsRect(1, 2, 3, 4)


# --- layouts and method tables ------------------------------------------------------


def test_types_have_exactly_the_shared_layouts_and_publish_unnamed_vtables():
    # capi_probe fetched every __pyx_vtable__ with PyCapsule_GetPointer(c, NULL)
    # when it loaded; here the instance sizes it compared.
    layouts = probe.layouts()
    assert set(layouts) == {"KsVector2", "KsRect", "KsRenderTexture", "KsShader"}
    for name, (basicsize, declared) in layouts.items():
        assert basicsize == declared, name


# --- KsRenderTexture ---------------------------------------------------------------


@pytest.mark.parametrize("make", [KsRenderTexture, probe.render_texture_new])
def test_render_texture_holds_its_target_and_size(make):
    t = make(KsVector2(5.9, 3))
    assert type(t) is KsRenderTexture and t.loaded is True
    assert type(t.size) is KsVector2 and t.size == KsVector2(5, 3)
    rt = t.render_texture
    assert isinstance(rt, rl.RenderTexture) and rt.id > 0
    assert (rt.texture.width, rt.texture.height) == (5, 3)
    t.fast_clear((1, 2, 3, 4))
    assert colours_in(t) == {(1, 2, 3, 4)}


def test_unload_releases_once_and_marks_the_record():
    t = KsRenderTexture(size=KsVector2(2, 2))
    record = t.render_texture
    t.unload()
    t.unload()
    assert t.loaded is False and record.id == 0 and record.texture.id == 0
    with pytest.raises(ValueError):
        t.fast_clear((0, 0, 0, 0))
    with pytest.raises(ValueError):
        probe.begin_texture_mode(record)


def test_render_texture_subclass():
    class Target(KsRenderTexture):
        pass

    t = Target(KsVector2(2, 1))
    t.note = "ok"
    assert isinstance(t, KsRenderTexture) and t.size == KsVector2(2, 1) and t.note == "ok"


@pytest.mark.parametrize(
    "size, error",
    [
        (KsVector2(0, 4), ValueError),
        (KsVector2(4, -1), ValueError),
        (KsVector2(math.nan, 4), ValueError),
        (KsVector2(4, math.inf), ValueError),
        (KsVector2(2**31 - 1, 2**31 - 1), ValueError),  # beyond the GPU's limit
        (KsVector2(100_000, 1), ValueError),
        ((4, 4), TypeError),
        (None, TypeError),
    ],
)
@pytest.mark.parametrize("make", [KsRenderTexture, probe.render_texture_new])
def test_render_texture_rejects_bad_sizes(make, size, error):
    with pytest.raises(error):
        make(size)


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda t: KsRect(1, 2, 3, 4, 5), "KsRect() takes at most 4 arguments (5 given)"),
        (lambda t: KsRect(w="a"), "must be real number, not str"),
        (lambda t: KsRenderTexture(), "KsRenderTexture() missing required argument 'size' (pos 1)"),
        (lambda t: KsRenderTexture(1, 2), "KsRenderTexture() takes at most 1 argument (2 given)"),
        (lambda t: KsRect(**{1: 2}), "keywords must be strings"),
        (lambda t: t.draw(0), "draw() missing required argument 'y' (pos 2)"),
        (lambda t: t.draw("a", zz=1), "must be real number, not str"),  # values first
        (lambda t: t.draw(0, 0, zz=1), "draw() got an unexpected keyword argument 'zz'"),
        (lambda t: t.draw_rect(5), "draw_rect() argument 1 must be 4-item tuple, not int"),
        (lambda t: t.draw_rect((1, 2)), "draw_rect() argument 1 must be tuple of length 4, not 2"),
        (lambda t: t.draw_rect([1, 2]),
         "draw_rect() argument 1 must be sequence of length 4, not 2"),
        (lambda t: t.draw(0, 0, x=1), "argument for draw() given by name ('x') and position (1)"),
        (lambda t: KsShader.create_from_code("x", vs="y"),
         "create_from_code() missing required argument 'fs' (pos 2)"),
    ],
)
def test_keyword_methods_bind_as_pyarg_parsetupleandkeywords_did(call, message):
    """The messages the platform types' constructors and methods have always given."""
    target = KsRenderTexture(KsVector2(2, 2))
    try:
        with pytest.raises(TypeError) as info:
            call(target)
        assert str(info.value) == message
    finally:
        target.unload()


# --- KsShader ----------------------------------------------------------------------


def test_shader_is_made_only_from_code():
    with pytest.raises(TypeError):
        KsShader()
    default = KsShader.create_from_code(None, None)  # raylib's default program
    assert default.id > 0
    made = probe.shader_create(GradientShader.VERTEX_SHADER, GradientShader.FRAGMENT_SHADER)
    assert type(made) is KsShader and made.id not in (0, default.id)
    with pytest.raises(AttributeError):
        made.id = 1


# Sources in the GLSL of the backend under test.
GLSL = GradientShader.preamble(rl.rl_get_version())
BROKEN = [
    pytest.param(None, GLSL + "void main() { FRAG_COLOR = vec4(1.0) }\n",
                 r"^the fragment shader does not compile: .*error", id="fragment-syntax"),
    pytest.param(GLSL.partition("\n")[0] + "\nvoid main() { gl_Position = vec4(0.0) }\n", None,
                 r"^the vertex shader does not compile: .*error", id="vertex-syntax"),
    pytest.param(None, GLSL + "float f();\nvoid main() { FRAG_COLOR = vec4(f()); }\n",
                 r"link.*\n.*error.*`f'", id="link"),
]


@pytest.mark.parametrize("create", [KsShader.create_from_code, probe.shader_create])
@pytest.mark.parametrize("vs, fs, reason", BROKEN)
def test_broken_shader_raises_with_raylibs_reason(create, vs, fs, reason):
    with pytest.raises(RuntimeError, match=reason):
        create(vs, fs)


def test_reason_is_captured_even_when_raylib_logs_nothing(capfd):
    unlinkable = BROKEN[2].values[1]
    rl.set_trace_log_level(rl.LOG_NONE)
    try:
        with pytest.raises(RuntimeError, match="error"):
            KsShader.create_from_code(None, unlinkable)
    finally:
        rl.set_trace_log_level(rl.LOG_WARNING)
    assert "SHADER" not in capfd.readouterr().out
    # At the session's level, the warnings are still printed as raylib would.
    with pytest.raises(RuntimeError):
        KsShader.create_from_code(None, unlinkable)
    assert "WARNING: SHADER" in capfd.readouterr().out


@pytest.mark.parametrize(
    "vs, fs, error",
    [
        (b"void main() {}", None, TypeError),
        (None, 5, TypeError),
        (None, "#version 330\0", ValueError),
    ],
)
@pytest.mark.parametrize("create", [KsShader.create_from_code, probe.shader_create])
def test_shader_sources_must_be_str_or_none(create, vs, fs, error):
    with pytest.raises(error):
        create(vs, fs)


# --- toolkit Python modules ----------------------------------------------------------


def test_gradient_enums():
    assert GradientType.__module__ == "kesa_ui.core"
    assert (GradientType.Linear.value, GradientType.Radial.value) == (0, 1)
    assert pickle.loads(pickle.dumps(GradientType.Radial)) is GradientType.Radial
    assert set(GradientDirection.__members__) == {
        "Right", "Left", "Bottom", "Top", "BottomRight", "TopLeft", "TopRight", "BottomLeft",
        "Center", "TopCenter", "BottomCenter",
    }
    assert len({d.value for d in GradientDirection}) == 11


def test_toolkit_modules_import_cheaply():
    proc = run_python(
        """
        import sys
        import kesa_ui.core
        from kesa_ui.rendering.pygame.gradient import GradientPygame
        from kesa_ui.fast import GradientShader
        kesa_ui.core.color("#fff"), kesa_ui.core.color([1, 2, 3])
        heavy = {"kesa_ui.core.rl", "numpy", "pygame"} & set(sys.modules)
        print(sorted(heavy), GradientShader.VERTEX_SHADER, GradientPygame.__name__)
        """
    )
    assert proc.stdout.split() == ["[]", "None", "GradientPygame"]


@pytest.mark.skipif("libasan" in os.environ.get("LD_PRELOAD", ""),
                    reason="the sanitizer's shadow memory cannot live under an address-space limit")
def test_a_render_texture_whose_making_failed_is_refused_not_read():
    # Its GPU memory cannot be had under the limit: the instance, already
    # made, goes without a record, and its subclass's __del__ sees it.
    run_python(
        """
        import resource
        from kesa_ui.fast.ksrendertex.ks_render_tex import KsRenderTexture
        from kesa_ui.fast.ksvector2.ksvector2 import KsVector2
        open_window()
        seen = []
        class Target(KsRenderTexture):
            def __del__(self):
                seen.append(repr(self))
                for use in (lambda: self.render_texture, lambda: self.size,
                            lambda: self.fast_clear((0, 0, 0, 0)), lambda: self.draw(0, 0)):
                    try:
                        use()
                    except ValueError as e:
                        seen.append("never made" in str(e))
                seen.append(self.loaded)
                self.unload()
        soft, hard = resource.getrlimit(resource.RLIMIT_AS)
        resource.setrlimit(resource.RLIMIT_AS, (1500 * 2**20, hard))
        try:
            Target(KsVector2(16384, 16384))
        except (RuntimeError, MemoryError):
            pass
        resource.setrlimit(resource.RLIMIT_AS, (soft, hard))
        assert seen == ["<KsRenderTexture not made>", True, True, True, True, False], seen
        """,
        window=True,
    )
