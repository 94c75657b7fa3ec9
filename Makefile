# Every target runs its work through tools/devenv, which provides Python 3.14,
# raylib and the compilers (provisioning a sysroot on first use).
DEVENV := tools/devenv
PY     := python3.14
CMAKE_GEN := -G Ninja
PYTEST := $(PY) -m pytest -q -p no:cacheprovider

.PHONY: build check test typecheck test-asan build-asan test-wheel test-backends test-css test-refleaks build-dbg bench fuzz demo clean

# In-place build: the extension modules land next to their packages in src/.
build:
	$(DEVENV) sh -c 'cmake -S . -B build/inplace $(CMAKE_GEN) -DKS_INPLACE=ON >/dev/null && cmake --build build/inplace'

# The suite once, against the in-place build: the maintainer's loop
# (PYTEST_ADDOPTS picks tests, e.g. PYTEST_ADDOPTS="-k pickle").
check: build
	$(DEVENV) --display $(PYTEST) tests

# The whole suite, then again against the sanitizer build and an installed
# wheel, and last the drawing tests against raylib's other GL backends.
test: check
	$(MAKE) typecheck
	$(MAKE) test-asan
	$(MAKE) test-wheel
	$(MAKE) test-backends

# The package's Python modules and the demos under mypy --strict, against the
# package's type stubs, with a typed user program that must pass and one of
# colour mistakes each marked `type: ignore[...]`, which passes only if mypy
# reports every one (strict mode flags an ignore that is not needed); then stubtest compares the stubs with the built
# modules (it imports them, which needs no display). It runs outside the
# checkout, where mypy finds the package once, through PYTHONPATH.
TYPED := src/kesa_ui/core/__init__.py src/kesa_ui/core/colors.py src/kesa_ui/fast/GradientShader.py \
  src/kesa_ui/fast/GeometryShader.py \
  src/kesa_ui/rendering/pygame/gradient.py src/kesa_ui/rendering/pygame/geometry.py \
  src/kesa_ui/rendering/pygame/interpolation.py \
  src/kesa_ui/demo/__init__.py src/kesa_ui/demo/gallery.py \
  src/kesa_ui/demo/interactive.py src/kesa_ui/demo/reference.py \
  tests/typing/user_program.py tests/typing/user_mistakes.py
typecheck: build
	$(DEVENV) sh -c 'MYPYPATH=src $(PY) -m mypy --strict --no-incremental --cache-dir=/tmp/mypy $(TYPED)'
	$(DEVENV) sh -c 'cd /tmp && $(PY) -m mypy.stubtest --allowlist $(CURDIR)/tools/stubtest-allowlist.txt kesa_ui'

# The suite against modules built with AddressSanitizer and UBSan, installed
# with the package's Python files into a tree of their own.
build-asan:
	$(DEVENV) sh -c 'cmake -S . -B build/asan $(CMAKE_GEN) -DKS_SANITIZE=ON -DCMAKE_INSTALL_PREFIX=$$PWD/build/asan/site >/dev/null && cmake --build build/asan && cmake --install build/asan >/dev/null'

test-asan: build-asan
	$(DEVENV) --display sh -c 'cd build/asan && PYTHONPATH=$$PWD/site KS_TEST_EXT_DIR=$$PWD/tests-ext KS_EXPECT_PACKAGE_IN=$$PWD/site \
	  LD_PRELOAD=$$(c++ -print-file-name=libasan.so):$$(c++ -print-file-name=libubsan.so) \
	  ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  $(PYTEST) ../../tests'

# A wheel built from a clean copy of the committed tree (no network, no build
# isolation, no dependency resolution: there is no PyPI), installed into a
# virtual environment that sees the toolchain's pytest and numpy, and the
# suite run against it from outside src/ with PYTHONPATH unset, as on a host
# without this build tree: the test probe is built on its own from the tree.
test-wheel:
	rm -rf build/wheel && mkdir -p build/wheel/tree
	git archive HEAD | tar -x -C build/wheel/tree
	$(DEVENV) sh -c 'cd build/wheel && $(PY) -m pip wheel -q --no-build-isolation --no-index --no-deps -w dist ./tree \
	  && $(PY) -m venv --system-site-packages venv && venv/bin/pip install -q --no-index --no-deps dist/*.whl \
	  && cmake -G Ninja -S tree/tests/ext -B probe >/dev/null && cmake --build probe >/dev/null'
	$(DEVENV) --display sh -c 'cd build/wheel && unset PYTHONPATH && \
	  KS_TEST_EXT_DIR=$$PWD/probe KS_EXPECT_PACKAGE_IN=$$PWD/venv \
	  venv/bin/python -m pytest -q -p no:cacheprovider tree/tests'

# The tests that draw, read pixels back or open and close windows, against
# raylib's other GL backends: 2.1, 4.3, ES 2.0 and ES 3.0 (the 2.1 and ES
# ones on Mesa held to their version), built once per machine from Debian's
# raylib source by tools/raylib-backends (Debian's own library, GL 3.3, is
# the one the suite runs against). The builds without programmable shaders, GL 1.1 and
# the software renderer, get tests/test_no_shaders.py instead. The tests
# that run on every backend are those marked `backends` (pytestmark).
test-backends: build
	$(DEVENV) tools/raylib-backends build >/dev/null
	$(DEVENV) --display tools/raylib-backends test "$(PYTEST)" "-m backends tests" tests/test_no_shaders.py

# The richer gradients against a browser: the tests marked `css` compare
# pictures with Chromium's drawing of the same CSS and canvas gradients, in a
# sysroot that adds Chromium (tools/devenv --with css, provisioned on first
# use, so the everyday sysroot stays small). That sysroot is the everyday one
# plus Chromium, so the modules the everyday build made load in it. Not part
# of make test.
test-css: build
	$(DEVENV) --with css --display sh -c 'KS_REQUIRE_CSS=1 $(PYTEST) -m css tests'

# The suite under python3.14-dbg against debug builds of every extension
# (their own tree, debug ABI suffix), each test run repeatedly with the
# interpreter's total reference count compared between rounds.
build-dbg:
	$(DEVENV) sh -c 'cmake -S . -B build/dbg $(CMAKE_GEN) -DPython_EXECUTABLE=/usr/bin/python3.14-dbg -DCMAKE_INSTALL_PREFIX=$$PWD/build/dbg/site >/dev/null && cmake --build build/dbg && cmake --install build/dbg >/dev/null'

test-refleaks: build-dbg
	$(DEVENV) --display sh -c 'cd build/dbg && PYTHONPATH=$$PWD/site:$$PWD/../../tests KS_TEST_EXT_DIR=$$PWD/tests-ext \
	  python3.14-dbg -m pytest -q -p no:cacheprovider -p refleaks ../../tests'

# Hostile-input properties, run for FUZZ_SECONDS against the sanitizer build
# with fresh seeds, so memory errors show up as failures too.
FUZZ_SECONDS ?= 600
fuzz: build-asan
	$(DEVENV) --display sh -c 'cd build/asan && end=$$(( $$(date +%s) + $(FUZZ_SECONDS) )); \
	  while [ $$(date +%s) -lt $$end ]; do \
	    PYTHONPATH=$$PWD/site KS_HYPOTHESIS_PROFILE=fuzz \
	    LD_PRELOAD=$$(c++ -print-file-name=libasan.so):$$(c++ -print-file-name=libubsan.so) \
	    ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	    $(PYTEST) -x --hypothesis-seed=$$(od -An -N4 -tu4 /dev/urandom | tr -d " ") \
	      ../../tests/test_hostile.py || exit 1; \
	  done'

# Nanoseconds per operation of the model, and ratios to complex(0.5, 0.5);
# the CPU renderer against the GPU path. BENCH_ARGS=--renderers: only the latter.
bench: build
	$(DEVENV) --display $(PY) bench/bench.py $(BENCH_ARGS)

# A gallery of every kind of gradient, rendered under a hidden window into
# gallery/gallery.png (git-ignored); the PNG's absolute path is the last line.
demo: build
	$(DEVENV) --display $(PY) -m kesa_ui.demo

clean:
	rm -rf build
	find src -name '*.so' -delete
