"""Hostile programs over the platform layer, as a hypothesis state machine:
render textures and textures made, kept past their owners, unloaded or
collected mid-stack; texture and blend modes begun, ended and left open
across frames and windows; renders whose callbacks close the window.

The machine keeps a model of what should happen (which targets live, which
one drawing goes to, the blend mode in force) and checks the pixels against
it. It closes and reopens windows, so it runs in an interpreter of its own
(`run()`, from test_hostile.py), under the hypothesis profile the suite uses.
"""

import gc
import os

from hypothesis import HealthCheck, settings, strategies as st
from hypothesis.stateful import RuleBasedStateMachine, invariant, rule, run_state_machine_as_test

from kesa_ui.core import GradientType
from kesa_ui.core.modules import rl
from kesa_ui.fast.ksraygrad.ksraygrad import ClickGradient, GradientRaylib
from kesa_ui.fast.ksrendertex.ks_render_tex import KsRenderTexture
from kesa_ui.fast.ksvector2.ksvector2 import KsVector2
from support import open_window

SIDE = 4
CLEAR = (0, 0, 0, 0)  # a tint that changes nothing in any blend mode used here
# Under Xvfb and Mesa a process can open about 200 windows, whoever closes
# them: the machine reopens windows only so often in one interpreter.
MAX_WINDOWS = 120
windows_opened = 0


def reopen_window():
    global windows_opened
    windows_opened += 1
    if rl.is_window_ready():
        rl.close_window()
    open_window()


class Owner:
    """A texture or render texture the program made, and the model of it."""

    def __init__(self, kind, obj, window):
        self.kind, self.obj, self.window = kind, obj, window
        self.live = True
        self.colour = None  # every pixel's colour, when known

    @property
    def is_target(self):
        return self.kind != "texture"

    def texture(self):
        if self.kind == "ks":
            return self.obj.render_texture.texture
        return self.obj.texture if self.kind == "rl" else self.obj

    def target_record(self):
        return self.obj.render_texture if self.kind == "ks" else self.obj


def pixels(texture):
    image = rl.load_image_from_texture(texture)
    return {rl.get_image_color(image, x, y) for x in range(image.width)
            for y in range(image.height)}


class PlatformMachine(RuleBasedStateMachine):
    def __init__(self):
        super().__init__()
        self.window = 0  # counts the windows opened in this run
        self.owners, self.kept, self.stack, self.blends = [], [], [], []
        self.painted = 0

    # --- the model -----------------------------------------------------------------

    def current(self):
        """The owner drawing goes to, or None for the screen: the innermost
        texture mode's target still loaded."""
        return next((o for o in reversed(self.stack) if o.live), None)

    def pick(self, items, i):
        return items[i % len(items)] if items else None

    def expect_refused(self, owner, call):
        """A call on a dead owner's record: refused, ValueError for one of this
        window, RuntimeError for one of a closed window."""
        error = ValueError if owner.window == self.window else RuntimeError
        try:
            call()
        except error:
            return
        raise AssertionError(f"a record of a dead {owner.kind} was used")

    def forget_all(self):
        for owner in self.owners:
            owner.live = False
        self.stack.clear()
        self.blends.clear()

    # --- making and dropping -----------------------------------------------------------

    def next_colour(self):
        self.painted += 1
        n = self.painted
        return ((n * 37) % 256, (n * 101) % 256, n % 256, 255)

    @rule(kind=st.sampled_from(["ks", "rl", "texture"]))
    def make(self, kind):
        colour = self.next_colour()
        if kind == "ks":
            obj = KsRenderTexture(KsVector2(SIDE, SIDE))
            obj.fast_clear(colour)
        elif kind == "rl":
            obj = rl.load_render_texture(SIDE, SIDE)
            rl.begin_texture_mode(obj)  # nests, and ends back where it was
            rl.clear_background(colour)
            rl.end_texture_mode()
        else:
            obj = rl.load_texture_from_image(rl.gen_image_color(SIDE, SIDE, colour))
        owner = Owner(kind, obj, self.window)
        owner.colour = colour
        self.owners.append(owner)

    @rule(i=st.integers(0, 63), depth=st.booleans())
    def keep_a_record(self, i, depth):
        owner = self.pick([o for o in self.owners if o.live], i)
        if owner is None:
            return
        record = owner.target_record().depth if depth and owner.is_target else owner.texture()
        self.kept.append((owner, record, depth and owner.is_target))

    @rule(i=st.integers(0, 63), collect=st.booleans())
    def drop(self, i, collect):
        owner = self.pick([o for o in self.owners if o.live], i)
        if owner is None:
            return
        if owner.kind == "ks" and collect:
            self.owners.remove(owner)
            owner.live = False
            owner.obj = None
            gc.collect()
            return
        if owner.kind == "ks":
            owner.obj.unload()
        elif owner.kind == "rl":
            rl.unload_render_texture(owner.obj)
        else:
            rl.unload_texture(owner.obj)
        owner.live = False

    # --- modes ---------------------------------------------------------------------------

    @rule(i=st.integers(0, 63))
    def begin_texture_mode(self, i):
        owner = self.pick([o for o in self.owners if o.is_target and o.obj is not None], i)
        if owner is None:
            return
        if not owner.live:
            self.expect_refused(owner, lambda: rl.begin_texture_mode(owner.target_record()))
            return
        rl.begin_texture_mode(owner.target_record())
        self.stack.append(owner)

    @rule()
    def end_texture_mode(self):
        rl.end_texture_mode()
        if self.stack:
            self.stack.pop()  # each end matches its own begin

    @rule(mode=st.sampled_from([rl.BLEND_ALPHA, rl.BLEND_ADDITIVE]))
    def begin_blend_mode(self, mode):
        rl.begin_blend_mode(mode)
        self.blends.append(mode)

    @rule()
    def end_blend_mode(self):
        rl.end_blend_mode()
        if self.blends:
            self.blends.pop()

    @rule()
    def frame(self):
        rl.begin_drawing()
        rl.end_drawing()
        self.stack.clear()
        self.blends.clear()

    # --- drawing -----------------------------------------------------------------------

    @rule()
    def paint(self):
        colour = self.next_colour()
        rl.clear_background(colour)
        current = self.current()
        if current is not None:
            current.colour = colour

    @rule(i=st.integers(0, 63))
    def draw_a_kept_record(self, i):
        kept = self.pick(self.kept, i)
        if kept is None:
            return
        owner, record, is_depth = kept

        def draw():
            rl.draw_texture(record, 0, 0, CLEAR)
        if is_depth:
            if owner.window != self.window:
                self.expect_refused(owner, draw)
                return
            try:
                draw()
            except ValueError as e:
                assert "depth" in str(e) or not owner.live, e
                return
            raise AssertionError("a depth buffer was drawn")
        if not owner.live:
            self.expect_refused(owner, draw)
        elif self.current() is owner:
            try:
                draw()
            except ValueError as e:
                assert "into itself" in str(e), e
            else:
                raise AssertionError("a target was drawn into itself")
        else:
            draw()

    @rule(draw=st.booleans())
    def render_a_gradient(self, draw):
        if draw:
            ClickGradient([(255, 0, 0, 255), (0, 0, 255, 255)]).draw(0, 0, SIDE, SIDE)
            if self.current() is not None:
                self.current().colour = None
        else:
            out = GradientRaylib([(9, 9, 9, 255)] * 2, GradientType.Linear).generate_texture(2, 2)
            assert pixels(out.render_texture.texture) == {(9, 9, 9, 255)}

    @rule(reopen=st.booleans())
    def a_render_whose_callback_closes_the_window(self, reopen):
        if windows_opened >= MAX_WINDOWS:
            return
        class Centre(KsVector2):
            @property
            def x(self):
                rl.close_window()
                if reopen:
                    reopen_window()
                return 0.5
        c = ClickGradient([(255, 0, 0, 255)] * 2)
        c.center = Centre(0.5, 0.5)
        try:
            c.draw(0, 0, SIDE, SIDE)
        except RuntimeError:
            pass
        else:
            raise AssertionError("a draw went on into a closed window")
        if not rl.is_window_ready():
            reopen_window()
        self.window += 1
        self.forget_all()

    @rule()
    def reopen_the_window(self):
        if windows_opened >= MAX_WINDOWS:
            return
        reopen_window()
        self.window += 1
        self.forget_all()

    # --- what must hold after every step ---------------------------------------------

    @invariant()
    def targets_hold_what_was_drawn_into_them(self):
        for owner in self.owners:
            if owner.live and owner.colour is not None:
                assert pixels(owner.texture()) == {owner.colour}, owner.kind

    @invariant()
    def the_blend_mode_in_force_is_the_callers(self):
        probe = rl.load_render_texture(1, 1)
        rl.begin_texture_mode(probe)
        rl.clear_background((100, 0, 0, 255))
        rl.draw_rectangle(0, 0, 1, 1, (100, 0, 0, 255))
        rl.end_texture_mode()
        red = next(iter(pixels(probe.texture)))[0]
        rl.unload_render_texture(probe)
        mode = self.blends[-1] if self.blends else rl.BLEND_ALPHA
        assert red == (200 if mode == rl.BLEND_ADDITIVE else 100), (mode, red)

    def teardown(self):
        # A frame ends whatever was left open; then everything goes.
        if not rl.is_window_ready():
            reopen_window()
        rl.begin_drawing()
        rl.end_drawing()
        for owner in self.owners:
            if owner.live and owner.window == self.window:
                if owner.kind == "ks":
                    owner.obj.unload()
                elif owner.kind == "rl":
                    rl.unload_render_texture(owner.obj)
                else:
                    rl.unload_texture(owner.obj)


def run():
    profile = os.environ.get("KS_HYPOTHESIS_PROFILE", "ci")
    examples = 500 if profile == "fuzz" else 25
    open_window()
    run_state_machine_as_test(PlatformMachine, settings=settings(
        max_examples=examples, stateful_step_count=30, deadline=None,
        suppress_health_check=list(HealthCheck)))
    rl.close_window()
