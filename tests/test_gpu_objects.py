"""GPU objects known by what they are, not by their GL names (which GL gives
to the next object at once), and the window's modes: texture and blend
modes that nest, frames that begin on the screen, targets never drawn into
themselves."""

import gc
from pathlib import Path

import pytest

from kesa_ui.core import GradientType
from kesa_ui.core.modules import rl
from kesa_ui.fast.ksraygrad.ksraygrad import ClickGradient, GradientRaylib
from kesa_ui.fast.ksrendertex.ks_render_tex import KsRenderTexture
from kesa_ui.fast.ksvector2.ksvector2 import KsVector2
from kesa_ui.rendering.pygame.gradient import GradientPygame
from support import BLUE, GREEN, PROBE_MISSING, RED, WHITE, colours_in, run_python

pytestmark = pytest.mark.backends  # also run against raylib's other GL backends

BLANK = (0, 0, 0, 0)


def target(colour=BLANK):
    t = KsRenderTexture(KsVector2(4, 4))
    t.fast_clear(colour)
    return t


def probe():
    return pytest.importorskip("capi_probe", reason=PROBE_MISSING)


def taking_the_names(make, name_of, names):
    """Objects made until one gets `names` from GL (which hands out the
    lowest free name): all of them, that one last."""
    made = [make()]
    while name_of(made[-1]) != names:
        assert len(made) < 256, "GL gave the freed name to nothing"
        made.append(make())
    return made


def pixels_of(texture):
    image = rl.load_image_from_texture(texture)
    return {rl.get_image_color(image, x, y) for x in range(image.width)
            for y in range(image.height)}


@pytest.mark.parametrize("drop", ["unload", "collect"])
def test_a_target_dropped_mid_stack_is_passed_over_not_resumed_by_name(drop):
    a, b = target(), target()
    names = a.render_texture.id
    rl.begin_texture_mode(a.render_texture)
    rl.begin_texture_mode(b.render_texture)
    if drop == "unload":
        a.unload()
    else:
        del a
        gc.collect()
    newcomers = taking_the_names(target, lambda t: t.render_texture.id, names)
    rl.end_texture_mode()  # b's mode ends, and a is gone: the screen
    rl.clear_background(RED)
    rl.end_texture_mode()  # nothing left: harmless
    assert all(colours_in(t) == {BLANK} for t in [b, *newcomers])


OWNERS = {
    "KsRenderTexture unloaded": (target, lambda t: t.render_texture.texture, KsRenderTexture.unload),
    "KsRenderTexture collected": (target, lambda t: t.render_texture.texture, None),
    "rl render texture": (lambda: rl.load_render_texture(4, 4), lambda r: r.texture,
                          rl.unload_render_texture),
    "rl texture": (lambda: rl.load_texture_from_image(rl.gen_image_color(4, 4, GREEN)),
                   lambda t: t, rl.unload_texture),
}


@pytest.mark.parametrize("owner", OWNERS)
def test_a_record_kept_past_its_owner_is_refused_whatever_takes_its_names(owner):
    make, texture_of, drop = OWNERS[owner]
    old = make()
    record = texture_of(old)
    if drop is None:
        del old
        gc.collect()
    else:
        drop(old)
    made = taking_the_names(make, lambda o: texture_of(o).id, record.id)  # of the same size
    alive = texture_of(made[-1])
    before = pixels_of(alive)
    uses = [rl.load_image_from_texture, lambda r: rl.draw_texture(r, 0, 0, WHITE),
            lambda r: rl.draw_texture_pro(r, (0, 0, 4, 4), (0, 0, 4, 4), (0, 0), 0, WHITE),
            lambda r: probe().draw_texture_pro(r, (0, 0, 4, 4), (0, 0, 4, 4), (0, 0), 0, WHITE)]
    for use in uses:
        with pytest.raises(ValueError, match=f"texture id {record.id} no longer names"):
            use(record)
    rl.unload_texture(record)  # unloads nothing: what it named is gone
    assert pixels_of(alive) == before
    if drop is not None and drop is not KsRenderTexture.unload:  # rl's own: unloaded by hand
        for o in made:
            drop(o)


def test_a_ksrendertexture_is_released_by_itself_only():
    t = target(RED)
    with pytest.raises(ValueError, match="call its unload"):
        rl.unload_render_texture(t.render_texture)
    assert colours_in(t) == {RED}


def test_a_depth_buffer_is_no_texture():
    # In a fresh window a depth buffer soon gets the number of a texture of
    # the same size (the two kinds of names are counted apart).
    probe_dir = Path(probe().__file__).parent
    run_python(
        """
        import capi_probe
        open_window()
        plain = rl.load_texture_from_image(rl.gen_image_color(4, 4, rl.RED))
        targets = []
        while not targets or targets[-1].depth.id < plain.id:
            targets.append(rl.load_render_texture(4, 4))
        depth = targets[-1].depth
        assert depth.id == plain.id, (plain.id, depth.id)  # the case meant
        uses = [rl.load_image_from_texture, lambda d: rl.draw_texture(d, 0, 0, rl.WHITE),
                lambda d: rl.draw_texture_v(d, (0, 0), rl.WHITE),
                lambda d: rl.draw_texture_rec(d, (0, 0, 4, 4), (0, 0), rl.WHITE),
                lambda d: rl.draw_texture_pro(d, (0, 0, 4, 4), (0, 0, 4, 4), (0, 0), 0, rl.WHITE),
                lambda d: capi_probe.draw_texture_pro(d, (0, 0, 4, 4), (0, 0, 4, 4), (0, 0), 0,
                                                      rl.WHITE)]
        for use in uses:
            try:
                use(depth)
            except ValueError as e:
                assert "depth buffer" in str(e), e
            else:
                raise AssertionError("a depth buffer was taken for a texture")
        rl.unload_texture(depth)  # unloads nothing
        image = rl.load_image_from_texture(plain)
        assert rl.get_image_color(image, 0, 0) == rl.RED, (plain.id, depth.id)
        """,
        window=True, path=[probe_dir],
    )


@pytest.mark.parametrize("left_open", ["texture mode", "two texture modes", "blend mode"])
def test_a_frame_begins_on_the_screen_with_no_mode_left_open(left_open):
    t, u = target(), target()
    rl.begin_texture_mode(t.render_texture)
    if left_open == "two texture modes":
        rl.begin_texture_mode(u.render_texture)
    elif left_open == "blend mode":
        rl.end_texture_mode()
        rl.begin_blend_mode(rl.BLEND_ADDITIVE)
    rl.begin_drawing()
    rl.draw_rectangle(0, 0, 64, 64, RED)
    rl.end_drawing()
    assert colours_in(t) == {BLANK} and colours_in(u) == {BLANK}
    # Alpha blending again: a translucent colour over red mixes, not adds.
    rl.begin_texture_mode(t.render_texture)
    rl.clear_background((100, 0, 0, 255))
    rl.draw_rectangle(0, 0, 4, 4, (100, 0, 0, 128))
    rl.end_texture_mode()
    assert {r for r, _, _, _ in colours_in(t)} == {100}


def nested_alpha():
    rl.begin_blend_mode(rl.BLEND_ALPHA)
    rl.end_blend_mode()


def nested_alpha_through_the_wrapper():
    probe().begin_blend_mode(int(rl.BLEND_ALPHA))
    probe().end_blend_mode()


@pytest.mark.parametrize("inner", [
    lambda: GradientRaylib([RED, BLUE], GradientType.Linear).generate_texture(2, 2),
    nested_alpha, nested_alpha_through_the_wrapper,
], ids=["generate_texture", "rl", "the wrapper"])
def test_blend_modes_nest(inner):
    t = target((100, 0, 0, 255))
    rl.begin_texture_mode(t.render_texture)
    rl.begin_blend_mode(rl.BLEND_ADDITIVE)
    inner()
    rl.draw_rectangle(0, 0, 4, 4, (100, 0, 0, 255))  # added, as the caller's mode says
    rl.end_blend_mode()
    rl.end_texture_mode()
    assert {r for r, _, _, _ in colours_in(t)} == {200}


FEEDBACK = {
    "draw": lambda t: t.draw(0, 0),
    "draw_rect": lambda t: t.draw_rect((0, 0, 4, 4)),
    "rl.draw_texture": lambda t: rl.draw_texture(t.render_texture.texture, 0, 0, WHITE),
    "rl.draw_texture_v": lambda t: rl.draw_texture_v(t.render_texture.texture, (0, 0), WHITE),
    "rl.draw_texture_rec": lambda t: rl.draw_texture_rec(
        t.render_texture.texture, (0, 0, 4, -4), (0, 0), WHITE),
    "rl.draw_texture_pro": lambda t: rl.draw_texture_pro(
        t.render_texture.texture, (0, 0, 4, 4), (0, 0, 4, 4), (0, 0), 0, WHITE),
    "the wrapper": lambda t: probe().draw_texture_pro(
        t.render_texture.texture, (0, 0, 4, 4), (0, 0, 4, 4), (0, 0), 0, WHITE),
}


@pytest.mark.parametrize("draw", FEEDBACK.values(), ids=FEEDBACK.keys())
def test_a_target_is_never_drawn_into_itself(draw):
    t, u = target(RED), target(GREEN)
    rl.begin_texture_mode(t.render_texture)
    with pytest.raises(ValueError, match="into itself"):
        draw(t)
    rl.begin_texture_mode(u.render_texture)  # into another target: drawn
    draw(t)
    rl.end_texture_mode()
    rl.end_texture_mode()
    assert colours_in(t) == {RED} and colours_in(u) == {RED}


def test_reading_a_texture_back_inside_a_mode_keeps_the_target_and_its_drawing():
    t, u = target(), target(GREEN)
    rl.begin_texture_mode(t.render_texture)
    rl.draw_rectangle(0, 0, 4, 4, RED)  # still in raylib's batch
    assert colours_in(t) == {RED}
    assert colours_in(u) == {GREEN}  # (OpenGL ES reads through a framebuffer of its own)
    rl.clear_background(BLUE)
    rl.end_texture_mode()
    assert colours_in(t) == {BLUE} and colours_in(u) == {GREEN}


def collected_target_texture():
    return KsRenderTexture(KsVector2(4, 4)).render_texture.texture  # the owner goes at once


@pytest.mark.parametrize("call, says", [
    (lambda: KsRenderTexture(KsVector2(0, 4)), r"from 1 to \d+ pixels \(the GPU's limit\)"),
    (lambda: GradientRaylib([RED]).generate_texture(4, 0), r"from 1 to \d+ pixels \(the GPU's"),
    (lambda: rl.load_render_texture(0, 4), r"1 to \d+ pixels a side \(the GPU's limit\), got 0x4"),
    (lambda: rl.load_image_from_texture(collected_target_texture()),
     "the KsRenderTexture that owned it was unloaded or garbage collected: keep the "
     "KsRenderTexture while its texture is used"),
    (lambda: GradientPygame([RED, BLUE]).render(0, 4), "at least 1x1 pixels, got 0x4"),
], ids=["KsRenderTexture", "generate_texture", "rl", "collected owner", "GradientPygame"])
def test_size_and_lifetime_errors_say_the_limit_and_why(call, says):
    with pytest.raises(ValueError, match=says):
        call()


def test_each_end_of_a_texture_mode_matches_its_begin():
    w, x, y = target(), target(), target()
    rl.begin_texture_mode(w.render_texture)
    rl.begin_texture_mode(x.render_texture)
    x.unload()  # drawing goes on in w
    rl.begin_texture_mode(y.render_texture)
    rl.end_texture_mode()  # y's end: back in w
    rl.end_texture_mode()  # x's end: still w
    rl.clear_background(RED)
    rl.end_texture_mode()  # w's end: the screen
    rl.clear_background(GREEN)
    assert colours_in(w) == {RED} and colours_in(y) == {BLANK}


INSIDE_A_RENDER = {
    "begin_drawing": rl.begin_drawing, "end_drawing": rl.end_drawing,
    "end_texture_mode": rl.end_texture_mode, "end_blend_mode": rl.end_blend_mode,
    "begin_blend_mode": lambda: rl.begin_blend_mode(rl.BLEND_ADDITIVE),
    "begin_texture_mode": lambda: rl.begin_texture_mode(target().render_texture),
    "clear_background": lambda: rl.clear_background(GREEN),
    "draw_rectangle": lambda: rl.draw_rectangle(0, 0, 4, 4, GREEN),
    "KsRenderTexture.draw": lambda: target(GREEN).draw(0, 0),
    "fast_clear": lambda: target().fast_clear(GREEN),
}


@pytest.mark.parametrize("call", INSIDE_A_RENDER.values(), ids=INSIDE_A_RENDER.keys())
def test_code_a_render_runs_can_neither_draw_nor_change_modes(call):
    from kesa_ui.fast.ksraygrad import ksraygrad as m
    refused = []

    class Rl:  # md.rl as the render looks it up: BlendMode runs `call`
        def __getattr__(self, name):
            if name == "BlendMode":
                try:
                    call()
                except RuntimeError as e:
                    refused.append(str(e))
            return getattr(rl, name)
    with pytest.MonkeyPatch.context() as patch:
        patch.setattr(m, "md", type("md", (), {"rl": Rl()}))
        texture = GradientRaylib([RED, RED]).generate_texture(4, 4)
    assert refused and "being rendered" in refused[0]
    assert colours_in(texture) == {RED}


def test_a_render_refused_on_another_thread_leaves_the_window_threads_alone():
    import threading
    import time

    class Slow(ClickGradient):
        def _ensure_resources(self):
            time.sleep(0.3)  # lets the window's thread run meanwhile

    errors = []
    slow = Slow([RED, BLUE])

    def draw():
        try:
            slow.draw(0, 0, 4, 4)
        except RuntimeError as e:
            errors.append(str(e))
    thread = threading.Thread(target=draw)
    thread.start()
    time.sleep(0.1)
    assert colours_in(GradientRaylib([RED, RED]).generate_texture(2, 2)) == {RED}
    thread.join()
    assert len(errors) == 1 and "thread" in errors[0]
