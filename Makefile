# The two commands a newcomer needs:
#   make run    set up, build and run Thumbrover (a self-demonstration when there is no display)
#   make test   set up, build and run every test
PRESET ?= default

.PHONY: all deps build run test test-asan bench demo bundle install format clean

all: build

deps:
	@scripts/install-deps

build: deps
	@cmake --preset $(PRESET) >/dev/null
	@cmake --build --preset $(PRESET)

run: build
	@scripts/run

test: build
	@scripts/test $(PRESET)

test-asan: deps
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan
	@scripts/test asan

bench: build
	@scripts/bench

demo: build
	@scripts/with-virtual-display build/thumbroverctl demo

# macOS: a self-contained Thumbrover.app (Qt copied in by macdeployqt), signed ad hoc again since
# macdeployqt changes the bundle.
bundle: build
	@macdeployqt build/Thumbrover.app
	@codesign --force --deep --sign - build/Thumbrover.app
	@echo "build/Thumbrover.app is ready"

install: build
	@cmake --install build

format:
	@git ls-files '*.cpp' '*.hpp' '*.mm' | xargs clang-format -i

clean:
	@rm -rf build build-asan build-macos-check
