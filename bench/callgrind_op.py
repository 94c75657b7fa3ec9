"""Runs one hot operation N times, for the instruction counts in bench.py
(under valgrind's callgrind, with collection toggled on that operation's C
entry point only).

usage: callgrind_op.py OPERATION N
"""

import sys

from kesa_ui.core.modules import rl

rl.set_trace_log_level(rl.LOG_WARNING)
rl.set_config_flags(rl.FLAG_WINDOW_HIDDEN)
rl.init_window(16, 16, "callgrind")

from kesa_ui.fast.ksgradient.ksgradient import Gradient  # noqa: E402
from kesa_ui.fast.ksraygrad.ksraygrad import ClickGradient, GradientRaylib  # noqa: E402

TWO = [(255, 0, 0, 255), (0, 0, 255, 255)]
THREE = TWO + [(0, 255, 0, 255)]
SIXTEEN = [((i * 37) % 256, (i * 91) % 256, (i * 13) % 256, 255) for i in range(16)]
c3 = ClickGradient(THREE)
# The draw of bench.py's timing (and of the C floor): 64x64, half transparent.
drawn = ClickGradient(THREE, transparency=128)
drawn.set_center((0.3, 0.7))
# Gradient's linear draw, the same size and transparency.
linear = Gradient(THREE, transparency=128)
c16 = ClickGradient(SIXTEEN)
g16 = GradientRaylib(SIXTEEN)
weights16 = c16.weights
target = rl.load_render_texture(64, 64)

OPERATIONS = {
    "GradientRaylib(2 colours)": lambda: GradientRaylib(TWO),
    "ClickGradient(3 colours)": lambda: ClickGradient(THREE),
    "colors = 16 colours": lambda: setattr(g16, "colors", SIXTEEN),
    "set_weight(1, 2.0)": lambda: c3.set_weight(1, 2.0),
    "set_center((0.3, 0.7))": lambda: c3.set_center((0.3, 0.7)),
    "weights read (16)": lambda: c16.weights,
    "weights write (16)": lambda: setattr(c16, "weights", weights16),
    "ClickGradient.draw (3 colours)": lambda: drawn.draw(0, 0, 64, 64),
    "Gradient.draw (linear, 3 colours)": lambda: linear.draw(0, 0, 64, 64),
}

op = OPERATIONS[sys.argv[1]]
rl.begin_texture_mode(target)
for _ in range(int(sys.argv[2])):
    op()
rl.end_texture_mode()
