# Entry points: `make run` builds and starts the program, `make test` builds and
# runs every test, `make bench` the benchmarks.
# Each target installs what is missing first, so both work on a fresh Debian 12 machine.

MAKEFLAGS += --no-print-directory
JOBS ?= $(shell nproc)
TEST_DIR  := build/test
TSAN_DIR  := build/tsan
BENCH_DIR := build/release
RUN_DIR   := build/release

.PHONY: deps run test test-asan test-tsan bench fuzz clean

deps:
	@bash scripts/install-deps.sh

# Release build of the program, started from the repository root, where it
# finds config/.
run: deps
	@cmake -S . -B $(RUN_DIR) -DCMAKE_BUILD_TYPE=Release -DPLS_TESTS=OFF >/dev/null
	@cmake --build $(RUN_DIR) -j $(JOBS) --target pulsesim
	@cd $(CURDIR) && ./$(RUN_DIR)/pulsesim

# AddressSanitizer + UndefinedBehaviorSanitizer over every test, then a
# ThreadSanitizer run of the tests labelled "threads".
test: test-asan test-tsan

test-asan: deps
	@cmake -S . -B $(TEST_DIR) -DCMAKE_BUILD_TYPE=Debug -DPLS_SANITIZE=ON >/dev/null
	@cmake --build $(TEST_DIR) -j $(JOBS)
	@cd $(TEST_DIR) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
		QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) --timeout 300

test-tsan: deps
	@cmake -S . -B $(TSAN_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPLS_TSAN=ON >/dev/null
	@cmake --build $(TSAN_DIR) -j $(JOBS)
	@cd $(TSAN_DIR) && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$(CURDIR)/tests/tsan.supp" \
		QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) -L threads --timeout 300 --no-tests=ignore

bench: deps
	@cmake -S . -B $(BENCH_DIR) -DCMAKE_BUILD_TYPE=Release -DPLS_TESTS=OFF -DPLS_BENCH=ON >/dev/null
	@cmake --build $(BENCH_DIR) -j $(JOBS)
	@for b in $(BENCH_DIR)/bench/bench_*; do [ -x "$$b" ] && { echo "== $$b"; "$$b" --benchmark_counters_tabular=true || exit 1; }; done

clean:
	rm -rf build
