"""The interactive ClickGradient demo: a click moves the gradient's centre to
the click, and the mouse wheel changes the weight of the colour band under
the pointer. Each change is printed ("center X Y", "weight INDEX VALUE"), so
a test can drive the window with synthetic input and read what happened.

Run it with `python -m kesa_ui.demo --interactive`.
"""

from __future__ import annotations

import math
from typing import Callable

from kesa_ui.core.modules import rl
from kesa_ui.fast.ksraygrad.ksraygrad import ClickGradient

TITLE = "kesa_ui ClickGradient"
COLORS: list[tuple[int, int, int, int]] = [
    (255, 244, 214, 255), (255, 140, 66, 255), (214, 40, 87, 255), (60, 22, 102, 255),
    (12, 12, 30, 255),
]
WHEEL_STEP = 1.25  # one notch scales the band's weight by this much
MIN_WEIGHT = 0.05


def band_under(weights: list[float], center: tuple[float, float], size: tuple[float, float],
               point: tuple[float, float]) -> int:
    """Index of the colour band of a radial gradient at `point` (pixels):
    its distance from the centre over the distance to the farthest corner,
    placed among the bands that the weights divide 0..1 into."""
    w, h = size
    cx, cy = center[0] * w, center[1] * h
    farthest = max(math.hypot(x - cx, y - cy) for x in (0.0, w) for y in (0.0, h)) or 1.0
    t = math.hypot(point[0] - cx, point[1] - cy) / farthest
    total = sum(weights)
    if total <= 0:
        return 0
    edge = 0.0
    for index, weight in enumerate(weights):
        edge += weight / total
        if t < edge:
            return index
    return len(weights) - 1


def run(frames: int | None = None, size: tuple[int, int] = (480, 320),
        log: Callable[[str], None] = print) -> None:
    """Opens the window and runs until it is closed, or for `frames` frames."""
    width, height = size
    rl.set_trace_log_level(rl.LOG_WARNING)
    rl.init_window(width, height, TITLE)
    rl.set_target_fps(60)
    gradient = ClickGradient(list(COLORS))
    log("ready")
    frame = 0
    try:
        while not rl.window_should_close() and (frames is None or frame < frames):
            if rl.is_mouse_button_pressed(rl.MOUSE_BUTTON_LEFT):
                x, y = rl.get_mouse_position()
                gradient.set_center((x / width, y / height))
                log(f"center {x / width:.3f} {y / height:.3f}")
            wheel = rl.get_mouse_wheel_move()
            if wheel:
                weights = gradient.weights
                center = (gradient.center.x, gradient.center.y)
                band = band_under(weights, center, (width, height), rl.get_mouse_position())
                weight = max(MIN_WEIGHT, weights[band] * WHEEL_STEP**wheel)
                gradient.set_weight(band, weight)
                log(f"weight {band} {weight:.3f}")
            rl.begin_drawing()
            rl.clear_background(rl.BLACK)
            gradient.draw(0, 0, width, height)
            rl.end_drawing()
            frame += 1
    finally:
        rl.close_window()
