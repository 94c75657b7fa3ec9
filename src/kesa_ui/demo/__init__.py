"""The toolkit's gradient demos, run as `python -m kesa_ui.demo`:

    python -m kesa_ui.demo [--repo DIR] [--output PATH]
    python -m kesa_ui.demo --reference [DIR]
    python -m kesa_ui.demo --interactive [--frames N]

With no option it renders the gallery of every kind of gradient (see
gallery.py) under a hidden window into gallery/gallery.png in the repository
and prints one line per row and the PNG's absolute path last. The repository
is the folder given with --repo, else the current folder.

--reference writes the small pictures of docs/reference.md (angle.png,
center.png, weights.png) and of docs/geometry.md (geometry-kinds.png,
geometry-extents.png, geometry-focal.png, geometry-spread.png,
geometry-positions.png, geometry-spaces.png, geometry-hues.png,
geometry-hints.png) into DIR, by default docs/ in the repository (which
must then be a checkout: it has docs/reference.md), and prints their paths
(see reference.py).

--interactive opens a window instead, where a click moves a ClickGradient's
centre and the mouse wheel reweights the band under the pointer (see
interactive.py).
"""

from __future__ import annotations

import argparse
import sys
from pathlib import Path
from typing import Sequence

__all__ = ["main"]


def parse_args(argv: Sequence[str]) -> argparse.Namespace:
    parser = argparse.ArgumentParser(
        prog="python -m kesa_ui.demo",
        description="Render a gallery of GPU gradients into a PNG and print its path.")
    parser.add_argument("--repo", type=Path, default=None, metavar="DIR",
                        help="the repository to write into (default: the current folder)")
    parser.add_argument("--output", type=Path, default=None,
                        help="PNG file to write (default: gallery/gallery.png in the repository)")
    parser.add_argument("--reference", nargs="?", type=Path, const=True, default=None,
                        metavar="DIR",
                        help="write the reference pictures into DIR (default: docs/ in the "
                             "repository)")
    parser.add_argument("--interactive", action="store_true",
                        help="open a window: click to move the centre, scroll to reweight")
    parser.add_argument("--frames", type=int, default=None,
                        help="with --interactive: stop after this many frames")
    args = parser.parse_args(argv)
    repo = args.repo if args.repo is not None else Path.cwd()
    if not repo.is_dir():
        parser.error(f"--repo {repo}: no such folder")
    if args.reference is True and not (repo / "docs" / "reference.md").is_file():
        parser.error(f"{repo.resolve()} has no docs/reference.md: run from the repository, "
                     "or give --repo DIR or --reference DIR")
    args.repo = repo
    return args


def run_reference(directory: Path) -> list[Path]:
    """Writes the pictures of docs/reference.md and docs/geometry.md into
    directory under a hidden window; returns their absolute paths."""
    from kesa_ui.core.modules import rl
    from kesa_ui.demo.reference import write_pictures

    rl.set_trace_log_level(rl.LOG_WARNING)
    rl.set_config_flags(rl.FLAG_WINDOW_HIDDEN)
    rl.init_window(320, 200, "kesa_ui reference pictures")
    try:
        return [path.resolve() for path in write_pictures(directory)]
    finally:
        rl.close_window()


def main(argv: Sequence[str] | None = None) -> int:
    args = parse_args(sys.argv[1:] if argv is None else argv)
    if args.interactive:
        from kesa_ui.demo.interactive import run

        run(frames=args.frames, log=lambda line: print(line, flush=True))
        return 0
    if args.reference is not None:
        directory = args.repo / "docs" if args.reference is True else args.reference
        for path in run_reference(directory):
            print(path)
        return 0
    from kesa_ui.demo.gallery import run_gallery

    output, titles = run_gallery(args.output or args.repo / "gallery" / "gallery.png")
    for number, title in enumerate(titles, 1):
        print(f"row {number}: {title}")
    print(output)
    return 0
