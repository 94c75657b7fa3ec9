"""GPU objects belong to the window they were made in and to its thread:
windows closed and opened again, calls from other threads, records that
outlive what they name. Also colour updates that re-enter themselves and
length hints that overstate."""

import pickle
import threading

import pytest

from kesa_ui.core.modules import rl
from kesa_ui.fast.ksraygrad.ksraygrad import ClickGradient, GradientRaylib
from kesa_ui.fast.ksrendertex.ks_render_tex import KsRenderTexture
from kesa_ui.fast.ksvector2.ksvector2 import KsVector2
from support import BLUE, BOTH, GREEN, RED, colors, run_python, state, stops

pytestmark = pytest.mark.backends  # also run against raylib's other GL backends


def test_a_second_window_gets_working_gradients_and_the_first_ones_objects_go_quiet():
    run_python(
        """
        from kesa_ui.fast.ksraygrad.ksraygrad import ClickGradient, GradientRaylib
        from kesa_ui.fast.ksrendertex.ks_render_tex import KsRenderTexture
        from kesa_ui.fast.ksshader.ksshader import KsShader
        from kesa_ui.fast.ksvector2.ksvector2 import KsVector2

        from kesa_ui.fast import GradientShader
        FRAGMENT = (GradientShader.preamble(rl.rl_get_version())
                    + "void main() { FRAG_COLOR = vec4(1.0); }")

        def pixel(target):
            return read_back(target)[1][1]

        def refused(call):
            try:
                call()
            except RuntimeError as e:
                assert "closed" in str(e), e
            else:
                raise AssertionError("a first-window object was used in another window")

        open_window()
        red = GradientRaylib([(255, 0, 0, 255)] * 2)
        old_target = red.generate_texture(4, 4)
        old_texture = old_target.render_texture.texture
        old_shader = KsShader.create_from_code(None, FRAGMENT)
        assert pixel(old_target) == (255, 0, 0, 255)
        rl.begin_blend_mode(rl.BLEND_ADDITIVE)  # left begun as the window closes
        rl.close_window()
        assert not old_target.loaded  # the context took its GPU objects

        uses = [lambda: old_target.fast_clear((0, 0, 0, 0)),
                lambda: rl.load_image_from_texture(old_texture),
                lambda: rl.begin_texture_mode(old_target.render_texture),
                lambda: rl.draw_texture(old_texture, 0, 0, rl.WHITE),
                lambda: rl.draw_texture_rec(old_texture, (0, 0, 1, 1), (0, 0), rl.WHITE),
                lambda: old_target.draw(0, 0)]
        for use in uses:
            refused(use)
        try:
            red.generate_texture(4, 4)
        except RuntimeError as e:
            assert "no raylib window" in str(e), e

        open_window()
        for use in uses:
            refused(use)
        # Blend modes begin afresh in the new window: additive adds.
        added = KsRenderTexture(KsVector2(4, 4))
        rl.begin_texture_mode(added.render_texture)
        rl.clear_background((100, 0, 0, 255))
        rl.begin_blend_mode(rl.BLEND_ADDITIVE)
        rl.draw_rectangle(0, 0, 4, 4, (100, 0, 0, 255))
        rl.end_blend_mode()
        rl.end_texture_mode()
        assert pixel(added)[0] == 200, pixel(added)
        # A program the new window compiles first must not stand in for the
        # gradients' shader, whose old id it may take.
        decoy = KsShader.create_from_code(None, FRAGMENT)
        keep = red.generate_texture(4, 4)
        assert pixel(keep) == (255, 0, 0, 255)
        green = ClickGradient([(0, 255, 0, 255)] * 2)
        target = KsRenderTexture(KsVector2(4, 4))
        rl.begin_texture_mode(target.render_texture)
        green.draw(0, 0, 4, 4)
        rl.end_texture_mode()
        assert pixel(target) == (0, 255, 0, 255)

        # Releasing the first window's objects releases nothing of this one's.
        rl.unload_texture(old_texture)
        old_target.unload()
        del old_target, old_shader, old_texture, uses
        rl.unload_texture(rl.load_texture_from_image(rl.gen_image_color(1, 1, rl.WHITE)))
        assert pixel(keep) == (255, 0, 0, 255)
        assert pixel(red.generate_texture(4, 4)) == (255, 0, 0, 255)
        rl.close_window()
        print("ok")
        """,
        window=True,
    )


def test_a_texture_record_that_outlives_its_texture_is_refused_not_read():
    small = KsRenderTexture(KsVector2(4, 4))
    record = small.render_texture.texture
    small.unload()
    bigger = KsRenderTexture(KsVector2(256, 256))  # may take the freed ids
    with pytest.raises(ValueError, match="no longer names a 4x4 texture"):
        rl.load_image_from_texture(record)
    with pytest.raises(ValueError, match="unloaded"):
        rl.load_image_from_texture(small.render_texture.texture)
    assert rl.load_image_from_texture(bigger.render_texture.texture).width == 256


def on_thread(fn):
    """Runs fn on a new thread: its exception, or None."""
    outcome = []

    def run():
        try:
            fn()
        except BaseException as e:  # noqa: B036 - handed back to the test
            outcome.append(e)

    t = threading.Thread(target=run)
    t.start()
    t.join()
    return outcome[0] if outcome else None


def test_other_threads_get_the_model_but_no_gpu():
    c = ClickGradient([RED, (BLUE, 2)])
    target = KsRenderTexture(KsVector2(4, 4))
    for gpu_call in (lambda: c.draw(0, 0, 4, 4), lambda: c.generate_texture(4, 4),
                     lambda: target.fast_clear((0, 0, 0, 0)), target.unload, rl.close_window,
                     lambda: rl.begin_texture_mode(target.render_texture),
                     lambda: target.draw_rect((0, 0, 2, 2)), rl.get_frame_time,
                     lambda: rl.draw_text("a", 0, 0, 10, RED), lambda: rl.is_key_pressed(32)):
        err = on_thread(gpu_call)
        assert isinstance(err, RuntimeError) and "thread" in str(err), err
    assert target.loaded and rl.is_window_ready()

    def model():
        g = ClickGradient([RED, GREEN, BLUE])
        g.set_weight(1, 3.0)
        g.colors = [RED, (BLUE, 2)]
        assert pickle.loads(pickle.dumps(g)).weights == [1.0, 2.0]
    assert on_thread(model) is None


def test_a_render_texture_dropped_on_another_thread_is_released_by_the_window_thread():
    holder = [KsRenderTexture(KsVector2(4, 4))]
    record = holder[0].render_texture.texture
    assert on_thread(holder.pop) is None  # the last reference dies there
    # The window thread's next GPU call releases it.
    with pytest.raises(ValueError, match="no longer names"):
        rl.load_image_from_texture(record)


def test_a_first_gradient_built_on_another_thread_says_why_it_cannot():
    run_python(
        """
        import threading
        from kesa_ui.fast.ksraygrad.ksraygrad import GradientRaylib
        open_window()
        errors = []
        def build():
            try:
                GradientRaylib([(255, 0, 0, 255)])
            except RuntimeError as e:
                errors.append(str(e))
        t = threading.Thread(target=build)
        t.start(); t.join()
        assert errors and "thread" in errors[0], errors
        GradientRaylib([(255, 0, 0, 255)])  # the window's thread builds it
        """,
        window=True,
    )


def test_a_window_whose_thread_ended_serves_no_thread():
    # The next thread started may get the ended thread's identity.
    run_python(
        """
        import threading
        def on_new_thread(fn):
            t = threading.Thread(target=fn)
            t.start(); t.join()
        on_new_thread(open_window)
        errors = []
        def gpu_call():
            try:
                rl.begin_drawing()
            except RuntimeError as e:
                errors.append(str(e))
        on_new_thread(gpu_call)
        gpu_call()
        assert len(errors) == 2 and all("has ended" in e for e in errors), errors
        # That window is forgotten (no thread can close it), and a new one opens.
        rl.close_window()
        open_window()
        from kesa_ui.fast.ksraygrad.ksraygrad import GradientRaylib
        texture = GradientRaylib([(255, 0, 0, 255)] * 2).generate_texture(2, 2)
        assert read_back(texture)[0][0] == (255, 0, 0, 255)
        rl.close_window()
        """,
        window=True,
    )


class Reentering(int):
    """A colour component whose division assigns the gradient new colours."""

    def __truediv__(self, other):
        self.gradient.colors = [GREEN, GREEN, GREEN]
        return int(self) / other


@BOTH
def test_a_colour_update_that_updates_the_gradient_stops_and_leaves_that_update(cls):
    g = cls([RED, BLUE])
    component = Reentering(255)
    component.gradient = g
    with pytest.raises(RuntimeError, match="replaced while"):
        g.colors = [BLUE, (component, 0, 0, 255), RED, BLUE]
    assert g.raw_colors == [GREEN] * 3
    assert [green for _, green, _, _ in colors(g)] == [1.0] * 3
    assert stops(g) == [0.0, 0.5, 1.0]


class Claims:
    """Iterates over `items` and claims to hold `claim` of them."""

    def __init__(self, items, claim):
        self.items, self.claim = items, claim

    def __iter__(self):
        return iter(self.items)

    def __length_hint__(self):
        return self.claim


def address_space():
    with open("/proc/self/status") as f:
        return next(int(line.split()[1]) * 1024 for line in f if line.startswith("VmSize:"))


def test_a_length_hint_is_only_a_hint():
    gradients = [ClickGradient([RED, BLUE]) for _ in range(16)]
    before = address_space()
    for g in gradients:
        g.weights = Claims([1.0, 2.0], 2**28)
    assert address_space() - before < 64 * 2**20
    g.weights = Claims([3.0], 2**62)  # could never be reserved; one item fits
    assert g.weights == [3.0]
    fields = state(g)
    g.__setstate__(fields[:2] + (Claims([{"x": 1, "y": 0, "z": 0, "w": 1}], 2**40),) + fields[3:])
    assert state(g)[2] == [{"x": 1.0, "y": 0.0, "z": 0.0, "w": 1.0}]
