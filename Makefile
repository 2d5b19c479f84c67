# Convenience wrapper around the CMake presets.
#   make run    build, then start the window from the folder that holds the built template
#   make test   install what is missing, build, and run every test
PRESET := dev
BIN := build/$(PRESET)/bin

.PHONY: all build run test deps clean

all: build

deps:
	scripts/install-deps

build/$(PRESET)/CMakeCache.txt:
	cmake --preset $(PRESET)

build: build/$(PRESET)/CMakeCache.txt
	cmake --build --preset $(PRESET)

run: deps build
	cd $(BIN) && ./vextra

test: deps
	cmake --preset $(PRESET)
	cmake --build --preset $(PRESET)
	ctest --preset $(PRESET)

clean:
	rm -rf build
