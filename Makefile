# The two commands a newcomer needs:
#   make run    set up, build and run Thumbrover (a self-demonstration when there is no display)
#   make test   set up, build and run every test
PRESET ?= default
BUILD_DIR ?= build
PREFIX ?= /usr/local

.PHONY: all deps deps-run build run test test-asan test-tsan test-package bench demo bundle install uninstall \
	package format clean

all: build

deps:
	@scripts/install-deps

# Building and running only; the tests' tools come with `make test`.
deps-run:
	@scripts/install-deps run

build: deps
	@scripts/build $(PRESET)

# Only what the run needs: the program, and its companion that plays the demonstration.
run: deps-run
	@scripts/build $(PRESET) thumbrover thumbroverctl
	@scripts/run

test: build
	@scripts/test $(PRESET)

# The unit and integration tests, the soak and the quits under AddressSanitizer and
# UndefinedBehaviorSanitizer.
test-asan: deps
	@scripts/build asan
	@scripts/test asan

# The core's threads (engine channel and loop, controller poll, settings writer, process reaping,
# update check) under ThreadSanitizer; without address randomisation, which on newer kernels
# leaves ThreadSanitizer no room for its shadow memory.
test-tsan: deps
	@scripts/build tsan
	@setarch "$$(uname -m)" -R scripts/test tsan

bench: build
	@scripts/bench

demo: build
	@scripts/with-virtual-display build/thumbroverctl demo

# macOS: a self-contained Thumbrover.app (Qt copied in by macdeployqt) for this Mac's processor,
# signed ad hoc again since macdeployqt changes the bundle. Homebrew's Qt is built for the macOS
# it was installed on: check-bundle makes the Info.plist declare what the bundle really needs.
bundle: build
	@macdeployqt build/Thumbrover.app
	@scripts/check-bundle --raise-minimum build/Thumbrover.app \
	    "$$(plutil -extract LSMinimumSystemVersion raw -o - build/Thumbrover.app/Contents/Info.plist)" \
	    "$$(uname -m)"
	@codesign --force --deep --sign - build/Thumbrover.app
	@echo "build/Thumbrover.app is ready: it needs macOS" \
	    "$$(plutil -extract LSMinimumSystemVersion raw -o - build/Thumbrover.app/Contents/Info.plist)" \
	    "or later on $$(uname -m)"

# Copies what `make` built; it never configures or compiles, so `sudo make install` leaves no
# file of root's in the build folder beyond the list of what it installed.
install:
	@scripts/install $(BUILD_DIR) $(PREFIX)

uninstall:
	@scripts/uninstall $(BUILD_DIR)

# A Debian package of the default (Release) build, for `sudo apt install ./build/thumbrover_*.deb`.
package: build
	@cd build && cpack -G DEB

# Builds the package, installs it with apt, starts the installed program once and removes it
# again. Needs root (or sudo): it changes the system's packages.
test-package: package
	@scripts/test-package build

format:
	@git ls-files '*.cpp' '*.hpp' '*.mm' | xargs clang-format -i

clean:
	@rm -rf build build-asan build-tsan build-macos-check
