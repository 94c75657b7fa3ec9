"""The raylib binding, under the session's hidden window."""

import pytest

from kesa_ui.core import GradientType
from kesa_ui.core.modules import rl
from kesa_ui.fast.ksraygrad.ksraygrad import GradientRaylib
from kesa_ui.fast.ksrendertex.ks_render_tex import KsRenderTexture
from kesa_ui.fast.ksvector2.ksvector2 import KsVector2
from support import BLUE, RED, read_back, run_python


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
