from typing import final

@final
class KsShader:
    """A compiled GPU shader program of the window it was made in; made by
    KsShader.create_from_code(vs, fs), never by calling the class."""

    @property
    def id(self) -> int:
        """The OpenGL program id."""

    @staticmethod
    def create_from_code(vs: str | None, fs: str | None) -> KsShader:
        """Compiles and links a shader from GLSL sources: vs the vertex stage,
        fs the fragment stage, each a str or None for raylib's default stage.

        RuntimeError with the driver's log when a stage does not compile or
        the program does not link, when no window is open or off its thread,
        and at once on a raylib without programmable shaders; TypeError for a
        source that is neither str nor None; ValueError for one containing a
        NUL character.
        """
