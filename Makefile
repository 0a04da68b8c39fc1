# Thin wrapper over CMake. Every target first makes sure the Debian packages are there.
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?=

.PHONY: deps configure build test bench run demo install clean

deps:
	scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j$(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

bench: build
	scripts/run-benchmarks $(BUILD)

run: build
	scripts/run-benchmarks $(BUILD)

clean:
	rm -rf $(BUILD)
