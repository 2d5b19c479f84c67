# Convenience wrapper around the CMake presets.
#   make run      build, then start the window from the folder that holds the built template
#   make test     install what is missing, build, and run every test (Linux, then both Windows builds under Wine)
#   make windows  build the 32-bit and 64-bit Windows programs (build/win32/bin, build/win64/bin)
BIN := build/dev/bin

.PHONY: all build run test deps clean windows

all: build

deps:
	scripts/install-deps

build:
	cmake --preset dev
	cmake --build --preset dev

run: deps build
	cd $(BIN) && ./vextra

# The Windows builds run the host's template tool, so the host build comes first.
windows: build
	cmake --preset win32 && cmake --build --preset win32
	cmake --preset win64 && cmake --build --preset win64

# Each workflow configures, builds and tests one preset.
test: deps
	cmake --workflow --preset dev
	cmake --workflow --preset win32
	cmake --workflow --preset win64

clean:
	rm -rf build
