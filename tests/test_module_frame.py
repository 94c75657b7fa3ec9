"""Loading the module: one module object per process, one interpreter, the
sibling bindings, and the shape of what it publishes."""

import functools
import gc
import weakref

import pytest

from kesa_ui.fast.ksraygrad import ksraygrad as m
from support import run_python

NAME = "kesa_ui.fast.ksraygrad.ksraygrad"


def test_import_again_gives_the_same_module():
    run_python(
        f"""
        import sys, importlib
        a = importlib.import_module("{NAME}")
        b = importlib.import_module("{NAME}")
        del sys.modules["{NAME}"]
        c = importlib.import_module("{NAME}")
        assert a is b is c, (a, b, c)
        assert a.GradientRaylib is c.GradientRaylib
        """
    )


def test_second_interpreter_is_refused():
    proc = run_python(
        f"""
        import sys, _interpreters
        import {NAME}
        del sys.modules["{NAME}"]
        interp = _interpreters.create("legacy")
        err = _interpreters.exec(interp, "import {NAME}")
        print(err.type.__name__, err.msg)
        """
    )
    assert proc.stdout.strip() == (
        "ImportError Interpreter change detected - this module can only be loaded into one "
        "interpreter per process.")


FAKE_SETUP = """
import sys, types, warnings
import kesa_ui.fast.raylib.kesa_raylib as real
import kesa_ui.fast.ksvector2.ksvector2 as vec
import kesa_ui.fast.ksrendertex.ks_render_tex  # binds the real KsVector2 first

def fake_module(model, **attrs):
    # Stands in for `model` in sys.modules, holding only `attrs`.
    fake = types.ModuleType(model.__name__)
    vars(fake).update(attrs)
    sys.modules[fake.__name__] = fake
    return fake
"""


@pytest.mark.parametrize(
    "setup, expected",
    [
        ("""
fake = fake_module(real, __pyx_capi__={k: v for k, v in real.__pyx_capi__.items()
                                       if k != "draw_texture_pro"})
""", "ImportError"),
        ("""
fake = fake_module(real, __pyx_capi__=dict(
    real.__pyx_capi__, end_blend_mode=real.__pyx_capi__["begin_texture_mode"]))
""", "TypeError"),
        ("""
class KsVector2:
    __pyx_vtable__ = vec.KsVector2.__dict__["__pyx_vtable__"]
fake = fake_module(vec, KsVector2=KsVector2)
""", "ValueError"),
        ("""
class KsVector2(vec.KsVector2):
    __slots__ = ()
fake = fake_module(vec, KsVector2=KsVector2)
""", "KeyError"),
        ("fake = fake_module(vec, KsVector2=5)", "TypeError"),
    ],
)
def test_bad_siblings_fail_the_import_and_a_retry_runs_again(setup, expected):
    proc = run_python(
        FAKE_SETUP + setup + f"""
try:
    import {NAME}
except Exception as e:
    print(type(e).__name__, e)
else:
    print("loaded")
sys.modules[fake.__name__] = real if "raylib" in fake.__name__ else vec
import {NAME} as mod
print("retry", mod.GradientRaylib.__name__)
"""
    )
    first, retry = proc.stdout.strip().splitlines()
    assert first.split()[0] == expected, proc.stdout
    assert retry == "retry GradientRaylib"


def test_larger_sibling_type_warns_and_loads():
    proc = run_python(
        FAKE_SETUP + f"""
class KsVector2(vec.KsVector2):
    __slots__ = ("extra",)
    __pyx_vtable__ = vec.KsVector2.__dict__["__pyx_vtable__"]
fake_module(vec, KsVector2=KsVector2)
with warnings.catch_warnings(record=True) as caught:
    warnings.simplefilter("always")
    import {NAME}
print([str(w.message) for w in caught if w.category is RuntimeWarning])
"""
    )
    assert "size changed, may indicate binary incompatibility" in proc.stdout


def test_an_older_rl_table_is_refused():
    # rl's C table as an older rl would publish it: only the size field.
    proc = run_python(
        f"""
        import ctypes
        import kesa_ui.core.rl as rl
        table = ctypes.c_size_t(ctypes.sizeof(ctypes.c_size_t))
        name = b"kesa_ui.core.rl._C_API_V3"
        capsule = ctypes.pythonapi.PyCapsule_New
        capsule.restype = ctypes.py_object
        capsule.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_void_p]
        rl._C_API_V3 = capsule(ctypes.addressof(table), name, None)
        try:
            import {NAME}
        except ImportError as e:
            print(e)
        """
    )
    assert "comes from an older build of kesa_ui" in proc.stdout


def test_published_attributes():
    standard = {"__name__", "__doc__", "__loader__", "__file__", "__package__", "__spec__",
                "__builtins__", "__path__"}
    assert set(vars(m)) - standard == {
        "GradientRaylib", "ClickGradient", "md", "GradientShader", "GradientPygame",
        "GradientType", "__pyx_unpickle_GradientRaylib", "__pyx_unpickle_ClickGradient",
        "__test__"}
    assert m.__test__ == {} and not hasattr(m, "__path__")
    from kesa_ui.core import GradientType, modules
    assert m.md is modules and m.GradientType is GradientType
    assert m.__pyx_unpickle_ClickGradient.__qualname__ == "__pyx_unpickle_ClickGradient"
    assert m.__pyx_unpickle_ClickGradient.__module__ == NAME


def test_member_tables():
    import inspect

    own = lambda cls: {k for k in vars(cls) if not k.startswith("__") or "cython" in k}
    assert own(m.GradientRaylib) == {
        "_ensure_resources", "generate_texture", "__reduce_cython__", "__setstate_cython__",
        "transparency", "angle", "center", "colors", "raw_colors", "type"}
    assert own(m.ClickGradient) == {
        "set_weight", "set_center", "set_center_ksvec", "_recalculate_stops", "draw",
        "__reduce_cython__", "__setstate_cython__", "weights"}
    sig = lambda f: list(inspect.signature(f).parameters)
    assert sig(m.GradientRaylib.generate_texture) == ["self", "width", "height"]
    assert sig(m.ClickGradient.draw) == ["self", "x", "y", "width", "height"]
    assert sig(m.ClickGradient.set_weight) == ["self", "index", "weight"]
    assert sig(m.GradientRaylib.__setstate_cython__) == ["self", "__pyx_state"]
    assert sig(m.__pyx_unpickle_GradientRaylib) == ["__pyx_type", "__pyx_checksum",
                                                    "__pyx_state"]
    for cls in (m.GradientRaylib, m.ClickGradient):
        assert cls.__dict__["__reduce__"] is cls.__dict__["__reduce_cython__"]
        assert cls.__dict__["__setstate__"] is cls.__dict__["__setstate_cython__"]
        assert type(cls.__dict__["__pyx_vtable__"]).__name__ == "PyCapsule"
        assert cls.__doc__ is None
    assert m.ClickGradient.__mro__ == (m.ClickGradient, m.GradientRaylib, object)
    # The constructors' signatures, with the defaults read at load.
    from kesa_ui.core import GradientType
    for cls, kind in ((m.GradientRaylib, GradientType.Linear),
                      (type("Sub", (m.ClickGradient,), {}), GradientType.Radial)):
        params = inspect.signature(cls).parameters
        assert list(params) == ["colors", "type", "direction", "angle", "center", "transparency"]
        assert params["type"].default is kind and params["center"].default is None
    own_init = type("Own", (m.GradientRaylib,), {"__init__": lambda self, colors: None})
    assert list(inspect.signature(own_init).parameters) == ["colors"]
    with pytest.raises(TypeError):
        m.GradientRaylib.__dict__["__signature__"].__get__(None, 42)


@pytest.mark.parametrize("cls_name", ["GradientRaylib", "ClickGradient"])
def test_instances_have_no_dict_or_weakref_and_are_tracked(cls_name):
    cls = getattr(m, cls_name)
    g = cls([(1, 2, 3, 4)])
    with pytest.raises(AttributeError):
        g.anything = 1
    with pytest.raises(TypeError):
        weakref.ref(g)
    assert gc.is_tracked(g)

    class Py(cls):
        pass

    p = Py([])
    p.anything = 1
    assert weakref.ref(p)() is p


def test_python_subclasses_keep_their_type_alive_through_many_instances():
    # Each instance holds one reference to its Python class; releasing more
    # than that frees the class under its remaining instances.
    run_python(
        f"""
        import gc, sys
        from {NAME} import ClickGradient, GradientRaylib
        for base in (GradientRaylib, ClickGradient):
            Sub = type("Sub", (base,), {{}})
            before = sys.getrefcount(Sub)
            for _ in range(1000):
                obj = Sub.__new__(Sub)
                obj.cycle = obj
                del obj
            gc.collect()
            assert sys.getrefcount(Sub) == before, (sys.getrefcount(Sub), before)
        """
    )


@functools.cache
def stub_docstrings():
    """{member: docstring} of the module's stub, as tools/stub_docs.py (which
    the build writes the docstrings with) reads them."""
    import ast
    import importlib.util
    from pathlib import Path

    spec = importlib.util.spec_from_file_location(
        "stub_docs", Path(__file__).resolve().parent.parent / "tools" / "stub_docs.py")
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    stub = Path(m.__file__).with_name("ksraygrad.pyi")
    return dict(module.docstrings(ast.parse(stub.read_text())))


def test_help_shows_what_the_stubs_say():
    import inspect

    documented = stub_docstrings()
    members = {name for name in documented if not name.endswith("___init__")}
    assert len(members) == 20
    for name in members:
        cls_name, member = (name.split("_", 1) if not name.startswith("__pyx")
                            else (None, name))
        obj = getattr(getattr(m, cls_name), member) if cls_name else getattr(m, member)
        assert inspect.getdoc(obj) == documented[name], name
    # ClickGradient's own pickle hooks read as GradientRaylib's.
    assert m.ClickGradient.__reduce__.__doc__ == m.GradientRaylib.__reduce__.__doc__
    assert m.GradientRaylib.__doc__ is m.ClickGradient.__doc__ is m.__doc__ is None


# Fixed texts, read once: its rounds would count only pytest's own bookkeeping
# of twenty assertions (about four references a run).
test_help_shows_what_the_stubs_say.refleak_rounds = False


def test_the_package_says_its_version():
    import tomllib
    from pathlib import Path

    import kesa_ui

    pyproject = tomllib.loads((Path(__file__).resolve().parent.parent / "pyproject.toml")
                              .read_text())
    assert kesa_ui.__version__ == pyproject["project"]["version"]
