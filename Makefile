# Drives CMake. The two commands a newcomer needs:
#   make run    build and run the kavrixml tool on the sample data in examples/
#   make test   build and run every test: a normal build with warnings as errors,
#               then a build with AddressSanitizer and UndefinedBehaviorSanitizer
# Also: make bench   benchmarks against other XML libraries; writes bench/RESULTS.md
#       make fuzz    builds the libFuzzer targets and runs each FUZZ_SECONDS (60)
#       make tsan    ThreadSanitizer build; runs the thread tests
#       make plural-rules   regenerates i18n/PluralData.cpp from CLDR (unicode-cldr-core)
#       make number-data    regenerates i18n/NumberData.cpp from CLDR (unicode-cldr-core)
# Each target installs the Debian packages it needs first (scripts/install-deps.sh).

BUILD_DIR ?= build
ASAN_DIR ?= build-asan
TSAN_DIR ?= build-tsan
BENCH_DIR ?= build-bench
FUZZ_DIR ?= build-fuzz
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60
CMAKE_FLAGS ?=
# Timed rounds of the peer comparison: at most BENCH_ROUNDS, and after three no
# new round starts once BENCH_BUDGET seconds have passed (keeps `make bench`
# near ten minutes on a two-CPU machine).
BENCH_ROUNDS ?= 11
BENCH_BUDGET ?= 180
BENCH_MIN_TIME ?= 0.2

# Leaks count as failures in the sanitizer build.
SAN_ENV = ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:detect_stack_use_after_return=0 \
          UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

.PHONY: all deps build run test check-format test-normal test-asan tsan bench fuzz format clean plural-rules number-data

all: build

deps:
	@scripts/install-deps.sh base

build: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKAVRIXML_WERROR=ON $(CMAKE_FLAGS)
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	@examples/demo.sh $(BUILD_DIR)/bin/kavrixml

test: check-format test-normal test-asan

# Every tracked C++ file as clang-format writes it (.clang-format).
check-format: deps
	@scripts/check-format.sh

test-normal: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

test-asan: deps
	cmake -S . -B $(ASAN_DIR) -DCMAKE_BUILD_TYPE=Debug -DKAVRIXML_WERROR=ON \
	      -DKAVRIXML_SANITIZE=address,undefined $(CMAKE_FLAGS)
	cmake --build $(ASAN_DIR) -j $(JOBS)
	$(SAN_ENV) ctest --test-dir $(ASAN_DIR) --output-on-failure -j $(JOBS)

tsan: deps
	cmake -S . -B $(TSAN_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKAVRIXML_WERROR=ON \
	      -DKAVRIXML_SANITIZE=thread $(CMAKE_FLAGS)
	cmake --build $(TSAN_DIR) -j $(JOBS)
	TSAN_OPTIONS=halt_on_error=1 ctest --test-dir $(TSAN_DIR) --output-on-failure -j $(JOBS) -R 'Thread|Concurren'

# The plural rules of every CLDR locale, read from Debian's CLDR package with
# the library's own reader into i18n/PluralData.cpp (committed: only this step
# needs the package).
plural-rules:
	@scripts/install-deps.sh base cldr
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKAVRIXML_WERROR=ON $(CMAKE_FLAGS)
	scripts/generate-plural-rules.sh $(BUILD_DIR)

# How every CLDR locale writes numbers (symbols, digits, grouping, patterns,
# currency symbols and digits), the same way into i18n/NumberData.cpp.
number-data:
	@scripts/install-deps.sh base cldr
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKAVRIXML_WERROR=ON $(CMAKE_FLAGS)
	scripts/generate-number-data.sh $(BUILD_DIR)

# Benchmarks (Release, -O2 like Debian's builds of the peers): the harness's
# own tests, our own figures with Google Benchmark, then the paired comparison with the peer libraries,
# which writes bench/RESULTS.md and bench/chart.svg. Both pin themselves to CPU 1.
bench:
	@scripts/install-deps.sh base bench
	cmake -S . -B $(BENCH_DIR) -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
	      -DKAVRIXML_BUILD_BENCH=ON -DKAVRIXML_BUILD_TESTS=OFF -DKAVRIXML_BUILD_TOOLS=ON $(CMAKE_FLAGS)
	cmake --build $(BENCH_DIR) -j $(JOBS)
	$(BENCH_DIR)/bench/kavrixml_bench_selftest
	$(BENCH_DIR)/bench/kavrixml_bench --benchmark_min_time=$(BENCH_MIN_TIME) \
	      --benchmark_out=$(BENCH_DIR)/bench/ours.json --benchmark_out_format=json
	$(BENCH_DIR)/bench/kavrixml_compare --repetitions $(BENCH_ROUNDS) --budget $(BENCH_BUDGET) \
	      --ours-json $(BENCH_DIR)/bench/ours.json

# Builds the libFuzzer targets (clang, ASan + UBSan) and runs each for
# FUZZ_SECONDS on a copy of its seed corpus; see scripts/run-fuzz.sh.
fuzz:
	@scripts/install-deps.sh base fuzz
	cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 \
	      -DKAVRIXML_BUILD_FUZZ=ON -DKAVRIXML_BUILD_TESTS=OFF -DKAVRIXML_BUILD_TOOLS=OFF \
	      -DKAVRIXML_SANITIZE=address,undefined $(CMAKE_FLAGS)
	cmake --build $(FUZZ_DIR) -j $(JOBS)
	scripts/run-fuzz.sh $(FUZZ_DIR) $(FUZZ_SECONDS)

format:
	clang-format -i $$(git ls-files '*.h' '*.cpp')

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR) $(TSAN_DIR) $(BENCH_DIR) $(FUZZ_DIR)
