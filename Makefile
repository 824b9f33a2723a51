# Thin wrapper over CMake; `make demo` and `make check` each set up what they need.
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: deps deps-demo configure build demo check format format-check tsan asan install-check bench clean

deps-demo:
	scripts/install-deps demo

deps:
	scripts/install-deps check

# Only the library, the emulator and the demonstration: no test or benchmark tool chain.
demo: deps-demo
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) -DRX457_BUILD_TESTS=OFF -DRX457_BUILD_BENCH=OFF -DRX457_BUILD_TOOLS=ON
	cmake --build $(BUILD) -j$(JOBS) --target rx457-demo
	$(BUILD)/tools/demo/rx457-demo demo-output

configure: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) -DRX457_BUILD_TESTS=ON -DRX457_BUILD_BENCH=ON -DRX457_BUILD_TOOLS=ON

build: configure
	cmake --build $(BUILD) -j$(JOBS)

# CI: any compiler warning fails the build.
check: CMAKE_FLAGS += -DRX457_WARNINGS_AS_ERRORS=ON
check: format-check build tsan asan install-check
	ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)

# The code style of .clang-format (generated tables excepted); `make format` applies it.
format-check: deps
	scripts/verificar-formato

format: deps
	scripts/verificar-formato --aplicar

# The tests of the threads that share the session and the engine, built again under ThreadSanitizer.
tsan: configure
	cmake -S . -B $(BUILD)-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRX457_SANITIZE=thread -DRX457_BUILD_BENCH=OFF
	cmake --build $(BUILD)-tsan -j$(JOBS) --target test_api_threads test_printer_engine_saida
	ctest --test-dir $(BUILD)-tsan -L threads --output-on-failure -j$(JOBS)

# The whole suite again under AddressSanitizer (leaks included) and UndefinedBehaviorSanitizer, stopping
# at the first report.
SANITIZER_ENV = ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
asan: configure
	cmake -S . -B $(BUILD)-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRX457_SANITIZE=address,undefined -DRX457_BUILD_BENCH=OFF
	cmake --build $(BUILD)-asan -j$(JOBS)
	$(SANITIZER_ENV) ctest --test-dir $(BUILD)-asan --output-on-failure -j$(JOBS)

# The library as a user gets it: a Release build installed into a temporary prefix and packaged as a
# .deb; against each, the C example (pkg-config and CMake) and the Python package run on the emulator.
install-check: deps
	scripts/verificar-instalacao $(BUILD)-install

bench: build
	for b in $(BUILD)/bench/*/bench_* $(BUILD)/bench/*/*/bench_*; do [ -x "$$b" ] && "$$b"; done; true

clean:
	rm -rf $(BUILD) $(BUILD)-tsan $(BUILD)-asan demo-output
