# Thin wrapper over CMake; `make demo` and `make check` each set up what they need.
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: deps configure build demo check tsan asan bench clean

deps:
	scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j$(JOBS)

demo: build
	$(BUILD)/tools/demo/rx457-demo demo-output

check: build tsan asan
	ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)

# The tests of the threads that share the session and the engine, built again under ThreadSanitizer.
tsan: configure
	cmake -S . -B $(BUILD)-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRX457_SANITIZE=thread -DRX457_BUILD_BENCH=OFF
	cmake --build $(BUILD)-tsan -j$(JOBS) --target test_api_threads test_printer_engine_saida
	ctest --test-dir $(BUILD)-tsan -L threads --output-on-failure -j$(JOBS)

# The XML tree and the fiscal readers, whose nodes live in per-document memory, under AddressSanitizer
# (leaks included) and UndefinedBehaviorSanitizer.
asan: configure
	cmake -S . -B $(BUILD)-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRX457_SANITIZE=address,undefined -DRX457_BUILD_BENCH=OFF
	cmake --build $(BUILD)-asan -j$(JOBS) --target test_xml test_fiscal
	UBSAN_OPTIONS=halt_on_error=1 $(BUILD)-asan/tests/xml/test_xml
	UBSAN_OPTIONS=halt_on_error=1 $(BUILD)-asan/tests/fiscal/test_fiscal

bench: build
	for b in $(BUILD)/bench/*/bench_* $(BUILD)/bench/*/*/bench_*; do [ -x "$$b" ] && "$$b"; done; true

clean:
	rm -rf $(BUILD) $(BUILD)-tsan $(BUILD)-asan demo-output
