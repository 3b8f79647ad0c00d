# The two commands a newcomer needs:
#   make run    set up, build and run Thumbrover (a self-demonstration when there is no display)
#   make test   set up, build and run every test
PRESET ?= default

.PHONY: all deps build run test test-asan bench demo install format clean

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

install: build
	@cmake --install build

format:
	@git ls-files '*.cpp' '*.hpp' | xargs clang-format -i

clean:
	@rm -rf build build-asan
