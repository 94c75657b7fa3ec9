"""The raylib binding, under the session's hidden window."""

import ctypes
import mmap
import re

import pytest

from kesa_ui.core import GradientType
from kesa_ui.core.modules import rl
from kesa_ui.fast.ksraygrad.ksraygrad import GradientRaylib
from kesa_ui.fast.ksrendertex.ks_render_tex import KsRenderTexture
from kesa_ui.fast.ksvector2.ksvector2 import KsVector2
from support import BLUE, RED, read_back, run_python

pytestmark = pytest.mark.backends  # also run against raylib's other GL backends


def test_enums_and_colours_carry_raylibs_values():
    assert rl.RED == (230, 41, 55, 255)
    assert rl.WHITE == (255, 255, 255, 255) and rl.BLANK == (0, 0, 0, 0)
    assert rl.BlendMode.BLEND_ALPHA_PREMULTIPLY == rl.BLEND_ALPHA_PREMULTIPLY == 5
    assert rl.FLAG_WINDOW_HIDDEN is rl.ConfigFlags.FLAG_WINDOW_HIDDEN == 0x80


def test_image_becomes_texture_and_reads_back():
    img = rl.gen_image_color(3, 2, rl.GREEN)
    assert (img.width, img.height) == (3, 2)
    assert rl.get_image_color(img, 2, 1) == rl.GREEN
    tex = rl.load_texture_from_image(img)
    rl.unload_image(img)
    assert tex.id > 0 and (tex.width, tex.height) == (3, 2)
    back = rl.load_image_from_texture(tex)
    assert rl.get_image_color(back, 1, 1) == rl.GREEN
    rl.unload_texture(tex)
    rl.unload_texture(tex)  # a second unload is harmless


def test_render_texture_cleared_in_texture_mode_reads_back_that_colour():
    rt = rl.load_render_texture(8, 4)
    assert rt.texture.width == 8 and rt.id > 0
    rl.begin_texture_mode(rt)
    rl.clear_background((10, 20, 30, 255))
    rl.end_texture_mode()
    img = rl.load_image_from_texture(rt.texture)
    assert {rl.get_image_color(img, x, y) for x in range(8) for y in range(4)} == {
        (10, 20, 30, 255)
    }
    rl.unload_render_texture(rt)


def test_image_flip_vertical_flips_in_place(tmp_path):
    rt = rl.load_render_texture(2, 2)
    rl.begin_texture_mode(rt)
    rl.clear_background(rl.BLACK)
    rl.end_texture_mode()
    # Paint the top row red through a texture drawn at (0, 0).
    top = rl.load_texture_from_image(rl.gen_image_color(1, 1, rl.RED))
    rl.begin_texture_mode(rt)
    rl.draw_texture(top, 0, 0, rl.WHITE)
    rl.end_texture_mode()
    img = rl.load_image_from_texture(rt.texture)
    # Render textures are stored bottom-up: the red row reads back last.
    assert rl.get_image_color(img, 0, 1) == rl.RED
    rl.image_flip_vertical(img)
    assert rl.get_image_color(img, 0, 0) == rl.RED
    assert rl.get_image_color(img, 0, 1) == rl.BLACK
    assert rl.export_image(img, tmp_path / "flip.png") is True
    assert (tmp_path / "flip.png").stat().st_size > 0
    rl.unload_texture(top)
    rl.unload_render_texture(rt)


def test_texture_modes_nest_and_render_textures_draw_upright():
    outer = KsRenderTexture(KsVector2(8, 16))
    rl.begin_texture_mode(outer.render_texture)
    rl.clear_background(rl.BLANK)
    # Red at the top, made inside the caller's texture mode, which goes on.
    tex = GradientRaylib([RED, BLUE], GradientType.Linear, angle=90).generate_texture(8, 4)
    spare = rl.load_render_texture(2, 2)  # loading one keeps the caller's target too
    rl.draw_rectangle(0, 12, 8, 4, rl.GREEN)  # in `outer`, with its projection
    tex.draw(0, 0)
    tex.draw_rect((0, 4, 8, 4))
    rl.draw_texture_rec(tex.render_texture.texture, (0, 0, 8, -4), (0, 8), rl.WHITE)
    rl.end_texture_mode()
    rows = read_back(outer)
    for top in (0, 4, 8):  # three upright copies
        assert rows[top][0][0] > rows[top][0][2] and rows[top + 3][0][0] < rows[top + 3][0][2]
    assert {c for row in rows[12:] for c in row} == {rl.GREEN}
    # Only rl.unload_render_texture unloads a render texture's own texture;
    # its depth buffer is no texture at all.
    with pytest.raises(ValueError, match="belongs to a render texture"):
        rl.unload_texture(spare.texture)
    rl.unload_texture(spare.depth)
    record = spare.texture
    rl.unload_render_texture(spare)
    with pytest.raises(ValueError, match="no longer names"):
        rl.draw_texture(record, 0, 0, rl.WHITE)


@pytest.mark.parametrize(
    "call",
    [
        lambda: rl.load_texture_from_image(None),
        lambda: rl.unload_texture((1, 2)),
        lambda: rl.begin_texture_mode(rl.gen_image_color(1, 1, rl.RED)),
        lambda: rl.gen_image_color(1, 1, "red"),
        lambda: rl.gen_image_color(1, 1, (1, 2, 3, 4.0)),
        lambda: rl.clear_background(None),
        lambda: rl.begin_blend_mode("alpha"),
        lambda: rl.get_image_color(rl.gen_image_color(1, 1, rl.RED), "0", 0),
        lambda: rl.draw_texture_pro(None, (0, 0, 1, 1), (0, 0, 1, 1), (0, 0), 0, rl.RED),
        lambda: rl.draw_texture_v(rl.load_texture_from_image(rl.gen_image_color(1, 1, rl.RED)),
                                  3, rl.RED),
    ],
)
def test_wrong_argument_types_raise_type_error(call):
    with pytest.raises(TypeError):
        call()


@pytest.mark.parametrize(
    "call, error, message",
    [
        (lambda: rl.set_window_size(1), TypeError,
         "set_window_size() takes exactly 2 arguments (1 given)"),
        (lambda: rl.draw_rectangle(0, 0, 1, 1, rl.RED, 0), TypeError,
         "draw_rectangle() takes exactly 5 arguments (6 given)"),
        (lambda: rl.load_render_texture(1, height=1), TypeError,
         "load_render_texture() takes no keyword arguments"),
        (lambda: rl.init_window(1, 1, None), TypeError,
         "init_window() argument 3 must be str, not None"),
        (lambda: rl.init_window(1, 1, "a\0b"), ValueError, "embedded null character"),
        (lambda: rl.draw_text(b"t", 0, 0, 10, rl.RED), TypeError,
         "draw_text() argument 1 must be str, not bytes"),
        (lambda: rl.gen_image_color(2**31, 1, rl.RED), OverflowError,
         "signed integer is greater than maximum"),
        (lambda: rl.draw_texture(None, -2**31 - 1, 0, rl.RED), OverflowError,
         "signed integer is less than minimum"),
        (lambda: rl.draw_texture_pro(None, 0, 0, 0, "r", rl.RED), TypeError,
         "must be real number, not str"),
        (lambda: rl.export_image(None, 5), TypeError, "expected str, bytes or os.PathLike"),
    ],
)
def test_positional_functions_bind_as_pyarg_parsetuple_did(call, error, message):
    """The messages rl's positional-only functions have always given."""
    with pytest.raises(error) as info:
        call()
    assert str(info.value).startswith(message)


def test_bad_values_raise():
    img = rl.gen_image_color(2, 2, rl.RED)
    with pytest.raises(IndexError):
        rl.get_image_color(img, 2, 0)
    with pytest.raises(ValueError):
        rl.gen_image_color(0, 5, rl.RED)
    with pytest.raises(ValueError):
        rl.gen_image_color(1, 1, (1, 2, 3, 256))
    with pytest.raises(ValueError, match="needs 2 numbers, got 1000000000"):
        rl.draw_texture_v(None, range(10**9), rl.RED)
    for bad in (12345, -7):
        with pytest.raises(ValueError, match="not a raylib blend mode"):
            rl.begin_blend_mode(bad)
    for ask in (rl.is_mouse_button_pressed, rl.is_key_pressed):
        with pytest.raises(ValueError, match="is not a"):
            ask(10**6)
    with pytest.raises(ValueError, match="3 or 4 components, got 2"):
        rl.gen_image_color(1, 1, [1, 2])
    assert rl.get_image_color(rl.gen_image_color(1, 1, [1, 2, 3]), 0, 0) == (1, 2, 3, 255)
    rl.unload_image(img)
    with pytest.raises(ValueError):
        rl.image_flip_vertical(img)


def test_gpu_calls_without_a_window_raise_runtime_error():
    proc = run_python(
        """
        from kesa_ui.core.modules import rl
        img = rl.gen_image_color(1, 1, rl.RED)   # CPU only: works
        calls = [
            lambda: rl.load_texture_from_image(img),
            lambda: rl.load_render_texture(4, 4),
            rl.end_texture_mode, rl.end_blend_mode, rl.begin_drawing,
            lambda: rl.begin_blend_mode(0),
            lambda: rl.clear_background(rl.RED),
        ]
        for call in calls:
            try:
                call()
            except RuntimeError:
                print("RuntimeError")
        """
    )
    assert proc.stdout.split() == ["RuntimeError"] * 7


def bytes_at_a_page_end():
    """A writable buffer of 'a's whose next byte is on an unreadable page."""
    libc = ctypes.CDLL(None, use_errno=True)
    libc.mmap.restype = ctypes.c_void_p
    libc.mmap.argtypes = [ctypes.c_void_p, ctypes.c_size_t, ctypes.c_int, ctypes.c_int,
                          ctypes.c_int, ctypes.c_long]
    page = mmap.PAGESIZE
    addr = libc.mmap(None, 2 * page, mmap.PROT_READ | mmap.PROT_WRITE,
                     mmap.MAP_PRIVATE | mmap.MAP_ANONYMOUS, -1, 0)
    assert addr not in (None, ctypes.c_void_p(-1).value)
    assert libc.mprotect(ctypes.c_void_p(addr + page), page, 0) == 0  # PROT_NONE
    ctypes.memset(addr, ord("a"), page)
    return (ctypes.c_char * page).from_address(addr)


@pytest.mark.parametrize("make_text", [
    lambda: b"hi", lambda: bytearray(b"hi"), lambda: memoryview(b"hi"), lambda: None,
    bytes_at_a_page_end,  # raylib would read on past its end
], ids=["bytes", "bytearray", "memoryview", "None", "buffer at a page end"])
def test_draw_text_takes_str_only(make_text):
    with pytest.raises(TypeError):
        rl.draw_text(make_text(), 0, 0, 10, rl.RED)


def test_draw_text_draws_a_str_without_nul():
    with pytest.raises(ValueError, match="NUL"):
        rl.draw_text("a\0b", 0, 0, 10, rl.RED)
    target = KsRenderTexture(KsVector2(40, 20))
    rl.begin_texture_mode(target.render_texture)
    rl.clear_background(rl.BLACK)
    rl.draw_text(type("Text", (str,), {})("Hi"), 0, 0, 20, rl.WHITE)
    rl.end_texture_mode()
    assert rl.WHITE in {c for row in read_back(target) for c in row}


def gpu_limit():
    with pytest.raises(ValueError) as info:
        rl.load_render_texture(2**30, 1)
    return int(re.search(r"the GPU's limit of (\d+) pixels", str(info.value)).group(1))


@pytest.mark.parametrize("make", [
    lambda side: rl.load_render_texture(side, 1),
    lambda side: rl.load_render_texture(1, side),
    lambda side: rl.load_texture_from_image(rl.gen_image_color(side, 1, rl.RED)),
    lambda side: KsRenderTexture(KsVector2(1, side)),
], ids=["render texture width", "render texture height", "texture", "KsRenderTexture"])
def test_gpu_objects_are_held_to_the_gpus_limit(make):
    limit = gpu_limit()
    with pytest.raises(ValueError, match=f"exceeds the GPU's limit of {limit} pixels"):
        make(limit + 1)
    made = make(limit)  # at the limit: a real object
    if isinstance(made, KsRenderTexture):
        made.unload()
    elif isinstance(made, rl.RenderTexture):
        rl.unload_render_texture(made)
    else:
        assert rl.get_image_color(rl.load_image_from_texture(made), limit - 1, 0) == rl.RED
        rl.unload_texture(made)


def test_a_resized_window_says_so_for_one_frame():
    with pytest.raises(ValueError, match="positive"):
        rl.set_window_size(0, 10)
    try:
        rl.set_window_size(80, 48)
        resized = []
        while True not in resized[-1:] and len(resized) < 5:  # (EGL: a frame later)
            rl.begin_drawing()
            rl.end_drawing()
            resized.append(rl.is_window_resized())
        assert resized[-1] is True
        rl.begin_drawing()
        rl.end_drawing()
        assert rl.is_window_resized() is False
        assert (rl.get_screen_width(), rl.get_screen_height()) == (80, 48)
        assert rl.get_fps() >= 0
    finally:
        rl.set_window_size(64, 64)
        rl.begin_drawing()
        rl.end_drawing()
