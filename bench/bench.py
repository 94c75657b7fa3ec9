"""Benchmarks of the gradient model's Python-facing operations.

Prints nanoseconds per operation (the median of repeated runs; every
operation is measured twice, interleaved with the others, and the faster of
the two medians is kept) and the ratio to the builtin `complex(0.5, 0.5)`
measured in the same run, so figures compare across machines.

It then times the CPU renderer, GradientPygame.render, against the GPU path
for the same gradient (generate_texture, then the pixels read back with
rl.load_image_from_texture), times Gradient's (kesa_ui.fast.ksgradient) kinds
against its linear draw at 1920x1080, and ends with instruction counts from
callgrind.

Run with `make bench` (it needs a display: constructing a gradient compiles
the shared shader); `bench.py --renderers` prints only the renderer table.
"""

import os
import pickle
import re
import shutil
import statistics
import subprocess
import sys
import time
from pathlib import Path

from kesa_ui.core import GradientType
from kesa_ui.core.modules import rl

rl.set_trace_log_level(rl.LOG_WARNING)
rl.set_config_flags(rl.FLAG_WINDOW_HIDDEN)
rl.init_window(64, 64, "bench")

from kesa_ui.fast import GradientShader  # noqa: E402
from kesa_ui.fast.ksgradient.ksgradient import Gradient  # noqa: E402
from kesa_ui.fast.ksraygrad.ksraygrad import ClickGradient, GradientRaylib  # noqa: E402
from kesa_ui.rendering.pygame.gradient import GradientPygame  # noqa: E402

RUNS = 15
TARGET_SECONDS = 0.02  # per run


def colors(n, weighted=False):
    plain = [((i * 37) % 256, (i * 91) % 256, (i * 13) % 256, 255) for i in range(n)]
    return [(c, 1 + i % 3) for i, c in enumerate(plain)] if weighted else plain


TWO, SIXTEEN_W, THREE = colors(2), colors(16, True), colors(3)
SIXTEEN = colors(16)
g16 = GradientRaylib(SIXTEEN)
c3 = ClickGradient(THREE)
c16 = ClickGradient(SIXTEEN)
big = {n: (GradientRaylib(colors(n)), colors(n)) for n in (10, 1000, 100_000)}
pickled16 = GradientRaylib(SIXTEEN_W)


def weights_round_trip():
    c16.weights = c16.weights


def pickle_round_trip():
    pickle.loads(pickle.dumps(pickled16))


# Gradient's model, mixed in sRGB and in OkLCh.
rich16, rich3 = Gradient(SIXTEEN), Gradient(THREE)
oklch16 = Gradient(SIXTEEN, "conic", interpolation="oklch", hints=[0.4] * 15)


def assign_colors(n):
    gradient, items = big[n]

    def op():
        gradient.colors = items

    return op


# (label, callable, per-item divisor, target ratio or None)
OPERATIONS = [
    ("GradientRaylib(2 colours)", lambda: GradientRaylib(TWO), 1, 2.5),
    ("GradientRaylib(16 weighted colours)", lambda: GradientRaylib(SIXTEEN_W), 1, 10),
    ("ClickGradient(3 colours)", lambda: ClickGradient(THREE), 1, 5),
    ("colors = 16 colours", lambda: setattr(g16, "colors", SIXTEEN), 1, 8),
    ("set_weight(1, 2.0)", lambda: c3.set_weight(1, 2.0), 1, 1.0),
    ("set_center((0.3, 0.7))", lambda: c3.set_center((0.3, 0.7)), 1, 0.6),
    ("weights read + write (16)", weights_round_trip, 1, 2.5),
    ("colour update, 10 colours (per colour)", assign_colors(10), 10, 0.4),
    ("colour update, 1,000 colours (per colour)", assign_colors(1000), 1000, 0.4),
    ("colour update, 100,000 colours (per colour)", assign_colors(100_000), 100_000, 0.4),
    ("pickle dumps + loads (16 colours)", pickle_round_trip, 1, None),
    ("Gradient(3 colours)", lambda: Gradient(THREE), 1, None),
    ("Gradient.colors = 16 colours", lambda: setattr(rich16, "colors", SIXTEEN), 1, None),
    ("Gradient.colors = 16 colours in OkLCh, hinted", lambda: setattr(oklch16, "colors", SIXTEEN),
     1, None),
    ("Gradient.set_weight(1, 2.0)", lambda: rich3.set_weight(1, 2.0), 1, None),
    ("Gradient pickle dumps + loads (16 colours)",
     lambda: pickle.loads(pickle.dumps(rich16)), 1, None),
]


def floor():
    complex(0.5, 0.5)


def calibrate(fn):
    n = 1
    while True:
        t = time.perf_counter_ns()
        for _ in range(n):
            fn()
        elapsed = time.perf_counter_ns() - t
        if elapsed > TARGET_SECONDS * 1e9 / 4:
            return max(1, int(n * TARGET_SECONDS * 1e9 / elapsed))
        n *= 2


def one_run(fn, loops):
    t = time.perf_counter_ns()
    for _ in range(loops):
        fn()
    return (time.perf_counter_ns() - t) / loops


def measure(entries):
    """Median ns per call of each entry, every entry measured twice with the
    runs interleaved; the faster median is kept."""
    loops = [calibrate(fn) for fn in entries]
    samples = [[[], []] for _ in entries]
    for rep in range(2):
        for _ in range(RUNS):
            for i, fn in enumerate(entries):
                samples[i][rep].append(one_run(fn, loops[i]))
    return [min(statistics.median(a), statistics.median(b)) for a, b in samples]


DRAW_SIZE, DRAW_LOOPS = 64, 2000
DRAW_TARGET = 1.10  # times the same draw issued from C
DRAW_PROCESSES = 9  # fresh processes for the draw, and as many for its floor


def draw_per_call():
    """ns per ClickGradient.draw into a render texture, best of 5 runs."""
    c = ClickGradient(THREE, transparency=128)
    c.set_center((0.3, 0.7))
    target = rl.load_render_texture(DRAW_SIZE, DRAW_SIZE)
    best = float("inf")
    for _ in range(5):
        rl.begin_texture_mode(target)
        t = time.perf_counter_ns()
        for _ in range(DRAW_LOOPS):
            c.draw(0, 0, DRAW_SIZE, DRAW_SIZE)
        best = min(best, (time.perf_counter_ns() - t) / DRAW_LOOPS)
        rl.end_texture_mode()
    rl.unload_render_texture(target)
    return best


def draw_in_fresh_process():
    """draw_per_call() measured by a new interpreter."""
    out = subprocess.run([sys.executable, __file__, "--draw"], capture_output=True, text=True,
                         check=True)
    return float(out.stdout.split()[-1])


def floor_program():
    """(draw_floor executable, fragment shader file), or None when not built."""
    root = Path(__file__).resolve().parent.parent
    exe = Path(os.environ.get("KS_DRAW_FLOOR", root / "build" / "inplace" / "draw_floor"))
    if not exe.exists():
        return None
    shader = root / "build" / "draw_floor.fs"
    shader.write_text(GradientShader.FRAGMENT_SHADER)
    return exe, shader


def draw_floor():
    """The same draw from C (bench/draw_floor.c), or None when not built."""
    program = floor_program()
    if program is None:
        return None
    exe, shader = program
    out = subprocess.run([str(exe), str(shader), str(len(THREE)), str(DRAW_LOOPS)],
                         capture_output=True, text=True, check=True)
    return float(out.stdout.split()[-1])


RED, BLUE, WHITE, BLACK = (255, 0, 0, 255), (0, 0, 255, 255), (255, 255, 255, 255), (0, 0, 0, 255)
FULL_HD = [(1920, 1080)]
# (label, colours, type, keyword arguments, sizes) of the gradients both
# renderers draw: the kinds users draw, full-screen. Two dark colours 91
# levels apart also run at smaller sizes; the 16 weighted translucent
# colours' alphas run from 0 to 241. Zero weights put equal stops between
# equal colours (flat bands with hard edges); a tiny weight between large
# ones makes a sharp transition.
RENDERED = [
    ("2 dark colours, linear 33 deg", TWO, GradientType.Linear, {"angle": 33},
     [(64, 64), (640, 480), (1920, 1080)]),
    ("red to blue, linear 33 deg", [RED, BLUE], GradientType.Linear, {"angle": 33}, FULL_HD),
    ("black to white, radial", [BLACK, WHITE], GradientType.Radial, {}, FULL_HD),
    ("16 colours, linear 33 deg", SIXTEEN, GradientType.Linear, {"angle": 33}, FULL_HD),
    ("16 weighted translucent, radial",
     [((r, g, b, (i * 71) % 256), w) for i, ((r, g, b, _), w) in enumerate(SIXTEEN_W)],
     GradientType.Radial, {}, FULL_HD),
    ("3 bands, hard edges, linear 33 deg",
     [(RED, 1), (RED, 0), (WHITE, 0), (WHITE, 1), (WHITE, 0), (BLUE, 0), (BLUE, 1)],
     GradientType.Linear, {"angle": 33}, FULL_HD),
    ("uneven weights, radial", [(RED, 20), (WHITE, 0.05), (BLUE, 0.05), (BLACK, 20)],
     GradientType.Radial, {"center": (0.3, 0.4)}, FULL_HD),
    ("red to transparent, linear 33 deg", [RED, (255, 0, 0, 0)], GradientType.Linear,
     {"angle": 33}, FULL_HD),
    ("transparent to black, radial", [(0, 0, 0, 0), BLACK], GradientType.Radial, {}, FULL_HD),
]
RENDER_RUNS = 11


def gpu_render(gradient, w, h):
    """generate_texture and the read-back; returns what to release after."""
    target = gradient.generate_texture(w, h)
    return target, rl.load_image_from_texture(target.render_texture.texture)


def release(result):
    if isinstance(result, tuple):
        target, image = result
        rl.unload_image(image)
        target.unload()


def timed(fn, loops):
    """ms per call of fn over `loops` calls; what the calls return is
    released after the clock stops."""
    results = []
    t = time.perf_counter_ns()
    for _ in range(loops):
        results.append(fn())
    elapsed = time.perf_counter_ns() - t
    for r in results:
        release(r)
    return elapsed / loops / 1e6


def renderer_table():
    """CPU and GPU renderings of the same gradients: the median of
    RENDER_RUNS runs, the two renderers' runs interleaved."""
    print(f"\nrendering, CPU (GradientPygame.render) and GPU (generate_texture + "
          f"load_image_from_texture),\nmedian of {RENDER_RUNS} interleaved runs:")
    print(f"{'gradient':36} {'size':>9} {'CPU ms':>8} {'Mpix/s':>7} {'GPU ms':>8} "
          f"{'Mpix/s':>7} {'CPU/GPU':>8}")
    for label, colours, kind, kw, sizes in RENDERED:
        cpu, gpu = GradientPygame(colours, kind, **kw), GradientRaylib(colours, kind, **kw)
        for w, h in sizes:
            fns = [lambda: cpu.render(w, h), lambda: gpu_render(gpu, w, h)]
            # Enough calls per run for 20 ms, from a first (warm-up) call.
            loops = [max(1, int(20 / timed(fn, 1))) for fn in fns]
            samples = [[], []]
            for _ in range(RENDER_RUNS):
                for i, fn in enumerate(fns):
                    samples[i].append(timed(fn, loops[i]))
            cpu_ms, gpu_ms = (statistics.median(s) for s in samples)
            mpix = w * h / 1e3
            print(f"{label:36} {f'{w}x{h}':>9} {cpu_ms:8.2f} {mpix / cpu_ms:7.1f} "
                  f"{gpu_ms:8.2f} {mpix / gpu_ms:7.1f} {cpu_ms / gpu_ms:8.2f}")


FULL_CONTRAST_16 = [RED, BLUE, WHITE, BLACK] * 4

# Gradient's draws at 1920x1080, each against the linear one (which mixes
# in sRGB): (label, arguments, the most times the linear draw's time it may
# take).
GEOMETRY = [
    ("linear 33 deg", (THREE, "linear"), {"angle": 33}, None),
    ("elliptical radial, focal point", (THREE, "radial"),
     {"shape": "ellipse", "center": (0.4, 0.5), "focal": (0.3, 0.35)}, 1.5),
    ("conic", (THREE, "conic"), {"angle": 30, "center": (0.4, 0.5)}, 1.5),
    ("repeating conic, 12 periods", (THREE, "conic"),
     {"spread": "repeat", "positions": [0, 1 / 24, 1 / 12]}, None),
    ("reflected elliptical radial", (THREE, "radial"),
     {"shape": "ellipse", "spread": "reflect", "positions": [0, 0.1, 0.2]}, None),
    ("linear 33 deg in Oklab", (THREE, "linear"), {"angle": 33, "interpolation": "oklab"}, 1.5),
    ("linear 33 deg in OkLCh", (THREE, "linear"), {"angle": 33, "interpolation": "oklch"}, 1.5),
    ("linear 33 deg, hinted", (THREE, "linear"), {"angle": 33, "hints": [0.3, 0.8]}, None),
    # What users draw too: many full-contrast colours (red, blue, white, black).
    ("16 strong colours, linear", (FULL_CONTRAST_16, "linear"), {"angle": 33}, None),
    ("16 strong colours, OkLCh, hinted", (FULL_CONTRAST_16, "linear"),
     {"angle": 33, "interpolation": "oklch", "hints": [0.3] * 15}, None),
]
GEOMETRY_DRAWS = 10  # per timed run, then one read-back


def geometry_table():
    """ms per Gradient.draw over a 1920x1080 target (GEOMETRY_DRAWS draws and
    the pixels read back once, which makes the GPU finish them), the median
    of RENDER_RUNS runs with the kinds interleaved; returns how many took
    longer than their limit."""
    w, h = FULL_HD[0]
    target = rl.load_render_texture(w, h)

    def run(g):
        t = time.perf_counter_ns()
        rl.begin_texture_mode(target)
        for _ in range(GEOMETRY_DRAWS):
            g.draw(0, 0, w, h)
        rl.end_texture_mode()
        rl.unload_image(rl.load_image_from_texture(target.texture))
        return (time.perf_counter_ns() - t) / GEOMETRY_DRAWS / 1e6

    gradients = [Gradient(*args, **kw) for _, args, kw, _ in GEOMETRY]
    for g in gradients:
        run(g)  # the first draw builds the program
    samples = [[] for _ in gradients]
    for _ in range(RENDER_RUNS):
        for i, g in enumerate(gradients):
            samples[i].append(run(g))
    rl.unload_render_texture(target)
    medians = [statistics.median(s) for s in samples]
    print(f"\nGradient.draw at {w}x{h} ({GEOMETRY_DRAWS} draws and one read-back, median of "
          f"{RENDER_RUNS} interleaved runs):")
    print(f"{'gradient':36} {'ms':>8} {'ratio':>7} {'target':>7}")
    missed = 0
    for (label, _, _, limit), ms in zip(GEOMETRY, medians):
        ratio = ms / medians[0]
        mark = "" if limit is None or ratio <= limit else "  (above target)"
        missed += bool(mark)
        print(f"{label:36} {ms:8.2f} {ratio:7.2f} "
              f"{'report' if limit is None else f'<= {limit:g}':>7}{mark}")
    return missed


# The C entry point of each operation, for callgrind's --toggle-collect.
ENTRY_POINTS = {
    "GradientRaylib(2 colours)": "ksraygrad::*gradient_vectorcall(*",
    "ClickGradient(3 colours)": "ksraygrad::*click_vectorcall(*",
    "colors = 16 colours": "ksraygrad::*set_colors(*",
    "set_weight(1, 2.0)": "ksraygrad::*set_weight(*",
    "set_center((0.3, 0.7))": "ksraygrad::*set_center(*",
    "weights read (16)": "ksraygrad::*get_weights(*",
    "weights write (16)": "ksraygrad::*set_weights(*",
    "ClickGradient.draw (3 colours)": "ksraygrad::click_draw(*",
    "Gradient.draw (linear, 3 colours)": "ksgradient::gradient_draw(*",
}
# Gradient's linear draw may take at most this many times the instructions
# of ClickGradient's.
GRADIENT_DRAW_TARGET = 1.10


# Mesa compiles a shader's code for the GPU at its first draw, and keeps what
# it compiled on disk for later processes: without the disk cache, every
# process under callgrind compiles the same at its first draw, and the
# difference between two runs leaves that out.
CALLGRIND_ENV = {**os.environ, "MESA_SHADER_CACHE_DISABLE": "true"}


def callgrind_run(label, calls):
    """callgrind's output file for `calls` calls of the operation, counting
    only inside its entry point (its callees included)."""
    out = Path(__file__).resolve().parent.parent / "build" / f"callgrind.{calls}.out"
    subprocess.run(
        ["valgrind", "--tool=callgrind", f"--callgrind-out-file={out}", "--collect-atstart=no",
         f"--toggle-collect={ENTRY_POINTS[label]}", sys.executable,
         str(Path(__file__).resolve().parent / "callgrind_op.py"), label, str(calls)],
        check=True, capture_output=True, env=CALLGRIND_ENV)
    return out


def instructions(out):
    for line in out.read_text(errors="replace").splitlines():
        if line.startswith("summary:") or line.startswith("totals:"):
            return int(line.split()[1])
    raise RuntimeError("no totals in callgrind's output")


# Where a draw's instructions go, by the shared object they run in.
DRAW_PARTS = [
    ("the gradient module", ("ksraygrad.",)),
    ("the raylib wrapper and rl", ("kesa_raylib.", "/rl.cpython")),
    ("the interpreter", ("python3",)),
    ("raylib", ("libraylib",)),
]


def by_object(out):
    """{shared object: instructions} over one callgrind output."""
    text = subprocess.run(["callgrind_annotate", "--threshold=100", str(out)],
                          capture_output=True, text=True, check=True).stdout
    sums = {}
    for line in text.splitlines():
        m = re.match(r"\s*([\d,]+) \([^)]*\)\s+(?!=>).*\[(.*)\]\s*$", line)
        if m:
            sums[m.group(2)] = sums.get(m.group(2), 0) + int(m.group(1).replace(",", ""))
    return sums


def floor_instructions():
    """Instructions per draw of the C floor's draw_once, by the same
    difference (its five rounds of 1100 and of 100 draws), or None."""
    program = floor_program()
    if program is None:
        return None
    exe, shader = program
    counts = []
    for draws in (100, 1100):
        out = exe.parent / f"callgrind.floor.{draws}.out"
        subprocess.run(["valgrind", "--tool=callgrind", f"--callgrind-out-file={out}",
                        "--collect-atstart=no", "--toggle-collect=draw_once", str(exe), str(shader),
                        str(len(THREE)), str(draws)], check=True, capture_output=True,
                       env=CALLGRIND_ENV)
        counts.append(instructions(out))
    return (counts[1] - counts[0]) / (5 * 1000)


def callgrind_table():
    """Instructions per call: the difference between 1100 and 100 calls over
    1000, so one-off costs (lazy symbol binding, first-call caches) cancel."""
    print("\ninstructions per call (callgrind, the module's entry point and what it calls):")
    counts = {}
    for label in ENTRY_POINTS:
        few, many = callgrind_run(label, 100), callgrind_run(label, 1100)
        counts[label] = (instructions(many) - instructions(few)) / 1000
        print(f"{label:46} {counts[label]:10.0f}")
        if label.startswith("Gradient.draw"):
            ratio = counts[label] / counts["ClickGradient.draw (3 colours)"]
            mark = "" if ratio <= GRADIENT_DRAW_TARGET else "  (above target)"
            print(f"  {'times ClickGradient.draw':44} {ratio:10.3f}   "
                  f"<= {GRADIENT_DRAW_TARGET:g}{mark}")
        if label.startswith("ClickGradient.draw") and shutil.which("callgrind_annotate"):
            a, b = by_object(few), by_object(many)
            parts = {name: 0.0 for name, _ in DRAW_PARTS}
            rest = 0.0
            for obj in set(a) | set(b):
                per = (b.get(obj, 0) - a.get(obj, 0)) / 1000
                name = next((n for n, keys in DRAW_PARTS if any(k in obj for k in keys)), None)
                if name is None:
                    rest += per
                else:
                    parts[name] += per
            for name, per in parts.items():
                print(f"  {name:44} {per:10.0f}")
            print(f"  {'the GL driver, libc and the rest':44} {rest:10.0f}")
            floor = floor_instructions()
            if floor is not None:
                draw = (instructions(many) - instructions(few)) / 1000
                print(f"{'the same draw from C (draw_floor)':46} {floor:10.0f}   "
                      f"the draw makes {draw / floor:.3f} times as many")


def main():
    if "--draw" in sys.argv[1:]:
        print(f"{draw_per_call():.1f}")
        return
    if "--renderers" in sys.argv[1:]:
        renderer_table()
        return
    if "--geometry" in sys.argv[1:]:
        geometry_table()
        return
    # The loop's own cost is part of every figure, floor included.
    fns = [floor] + [op for _, op, _, _ in OPERATIONS]
    results = measure(fns)
    base = results[0]
    print(f"floor: complex(0.5, 0.5) = {base:.1f} ns  (Python {sys.version.split()[0]})")
    print(f"{'operation':46} {'ns/op':>10} {'ratio':>7} {'target':>7}")
    missed = 0
    for (label, _, per, target), ns in zip(OPERATIONS, results[1:]):
        ns /= per
        ratio = ns / base
        mark = "" if target is None or ratio <= target else "  (above target)"
        missed += bool(mark)
        target_text = "report" if target is None else f"<= {target:g}"
        print(f"{label:46} {ns:10.1f} {ratio:7.2f} {target_text:>7}{mark}")
    # The draw and its C floor run in turns, each time in a fresh process
    # (the floor is a program of its own, so the draw gets the same chances
    # of memory layout), and each side's figure is the median of its
    # processes: a slow spell of the machine then lands on both, and one
    # process differs from the next by up to 7% on a virtual machine (the
    # floor included).
    draws, floors = [], []
    for _ in range(DRAW_PROCESSES):
        draws.append(draw_in_fresh_process())
        floors.append(draw_floor())
    draw_ns = statistics.median(draws)
    if None in floors:
        print(f"{'ClickGradient.draw (3 colours, 64x64)':46} {draw_ns:10.1f}   (no C floor built)")
    else:
        floor_ns = statistics.median(floors)
        ratio = draw_ns / floor_ns
        mark = "" if ratio <= DRAW_TARGET else "  (above target)"
        missed += bool(mark)
        print(f"{'ClickGradient.draw (3 colours, 64x64)':46} {draw_ns:10.1f} "
              f"{ratio:7.2f} {f'<= {DRAW_TARGET:g}':>7}{mark}   ratio to the same draw from C: "
              f"{floor_ns:.1f} ns (medians of {DRAW_PROCESSES} processes each)")
    missed += geometry_table()
    print(f"{missed} operation(s) above target")
    renderer_table()
    if shutil.which("valgrind"):
        callgrind_table()
    else:
        print("(valgrind not found: no instruction counts)")


if __name__ == "__main__":
    main()
