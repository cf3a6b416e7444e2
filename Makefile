# Entry points: `make run` builds and starts the program, `make test` builds and
# runs every test, `make bench` the benchmarks and scripts/compare-kernel.sh
# (the pass beside an earlier kernel), `make fuzz` a bounded run of the
# fuzz targets.
# Each target installs what is missing first, so each works on a fresh Debian 12 machine.

MAKEFLAGS += --no-print-directory
JOBS ?= $(shell nproc)
TEST_DIR  := build/test
TSAN_DIR  := build/tsan
OPT_DIR   := build/opt
BENCH_DIR := build/release
RUN_DIR   := build/release
FUZZ_DIR  := build/fuzz
# A short bounded fuzz run by default; override for longer ones, e.g.
# `make fuzz FUZZ_RUNS=10000000 FUZZ_TIME=0 FUZZ_FLAGS="-jobs=3 -workers=3"`.
FUZZ_RUNS  ?= 200000
FUZZ_TIME  ?= 30
FUZZ_FLAGS ?=

.PHONY: deps run test test-asan test-opt test-tsan bench fuzz clean

deps:
	@bash scripts/install-deps.sh

# Release build of the program, started from the repository root, where it
# finds config/.
run: deps
	@cmake -S . -B $(RUN_DIR) -DCMAKE_BUILD_TYPE=Release -DPLS_TESTS=OFF >/dev/null
	@cmake --build $(RUN_DIR) -j $(JOBS) --target pulsesim
	@cd $(CURDIR) && ./$(RUN_DIR)/pulsesim

# AddressSanitizer + UndefinedBehaviorSanitizer over every test, every test
# again in the optimised build users run, a short fuzz run, then a
# ThreadSanitizer run of the tests labelled "threads". A test binary that was
# not built stands in as a test named *_NOT_BUILT, which fails the run.
test: test-asan test-opt fuzz test-tsan

test-asan: deps
	@cmake -S . -B $(TEST_DIR) -DCMAKE_BUILD_TYPE=Debug -DPLS_SANITIZE=ON >/dev/null
	@cmake --build $(TEST_DIR) -j $(JOBS)
	@cd $(TEST_DIR) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
		QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) --timeout 300 --no-tests=error

test-opt: deps
	@cmake -S . -B $(OPT_DIR) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(OPT_DIR) -j $(JOBS)
	@cd $(OPT_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) --timeout 300 --no-tests=error

# The label leaves out the stand-ins of binaries not built: they are looked
# for first.
test-tsan: deps
	@cmake -S . -B $(TSAN_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPLS_TSAN=ON >/dev/null
	@cmake --build $(TSAN_DIR) -j $(JOBS)
	@cd $(TSAN_DIR) && ! ctest -N | grep _NOT_BUILT && \
		TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$(CURDIR)/tests/tsan.supp" \
		QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) -L threads --timeout 300 --no-tests=error

# clang + libFuzzer build of the fuzz targets, one for each fuzz/*_fuzz.cpp;
# a target that was not built fails the run. Each target starts from its
# committed seeds (fuzz/corpus/NAME) and keeps what it finds, its log and any
# crashing input under build/fuzz, never in the source tree.
fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DPLS_FUZZ=ON -DPLS_TESTS=OFF >/dev/null
	@cmake --build $(FUZZ_DIR) -j $(JOBS)
	@cd $(FUZZ_DIR) && for source in $(CURDIR)/fuzz/*_fuzz.cpp; do \
		f=fuzz/$$(basename $$source .cpp); \
		[ -x "$$f" ] || { echo "fuzz: $$f was not built"; exit 1; }; \
		name=$$(basename $$f _fuzz); mkdir -p corpus/$$name; rm -f fuzz-*.log; \
		if ./$$f -runs=$(FUZZ_RUNS) -max_total_time=$(FUZZ_TIME) $(FUZZ_FLAGS) \
			corpus/$$name $(CURDIR)/fuzz/corpus/$$name >$$name.log 2>&1; then \
			grep -h '^Done' $$name.log fuzz-*.log 2>/dev/null | sed "s/^/fuzz $$name: /"; \
		else \
			tail -n 60 $$name.log fuzz-*.log 2>/dev/null; \
			echo "fuzz $$name failed: see $(FUZZ_DIR)/$$name.log"; exit 1; \
		fi; \
	done

bench: deps
	@cmake -S . -B $(BENCH_DIR) -DCMAKE_BUILD_TYPE=Release -DPLS_TESTS=OFF -DPLS_BENCH=ON >/dev/null
	@cmake --build $(BENCH_DIR) -j $(JOBS)
	@for b in $(BENCH_DIR)/bench/bench_*; do [ -x "$$b" ] && { echo "== $$b"; "$$b" --benchmark_counters_tabular=true || exit 1; }; done
	@JOBS=$(JOBS) bash scripts/compare-kernel.sh

clean:
	rm -rf build
