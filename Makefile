# Thin wrapper over CMake; `make demo` and `make check` each set up what they need.
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: deps configure build demo check bench clean

deps:
	scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j$(JOBS)

demo: build
	$(BUILD)/tools/demo/rx457-demo demo-output

check: build
	ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)

bench: build
	for b in $(BUILD)/bench/*/bench_* $(BUILD)/bench/*/*/bench_*; do [ -x "$$b" ] && "$$b"; done; true

clean:
	rm -rf $(BUILD) demo-output
