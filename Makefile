# Thin front end over CMake. `make run` runs the whole job on the bundled
# sample in a scratch folder; `make test` builds and runs every test.
#
# `make run` and `make install` build the program alone: a new build folder
# is configured without the tests (no GoogleTest, no network), an existing
# one keeps its settings. The developer targets (test, test-asan,
# test-libcxx, fuzz) turn warnings into errors and insist on the tests.
BUILD ?= build
ASAN_BUILD ?= build-asan
LIBCXX_BUILD ?= build-libcxx
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
RUN_DIR ?= $(BUILD)/run
DEVELOPER = -DWEXLA_WERROR=ON -DWEXLA_TESTS=ON -DWEXLA_REQUIRE_TESTS=ON
# More cmake arguments for every configure, e.g.
# CMAKE_ARGS=-DFETCHCONTENT_SOURCE_DIR_GOOGLETEST=/usr/src/googletest
CMAKE_ARGS ?=

.PHONY: all build program run test test-asan test-libcxx format-check clean

all: program

# cmake_install.cmake is written only by a configure that succeeded.
program:
	@[ -f $(BUILD)/cmake_install.cmake ] || \
	  cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWEXLA_TESTS=OFF $(CMAKE_ARGS) >/dev/null
	cmake --build $(BUILD) -j $(JOBS) --target wexla

build:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(DEVELOPER) $(CMAKE_ARGS) >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

run: program
	rm -rf $(RUN_DIR) && mkdir -p $(RUN_DIR)
	cp examples/sample.OUT $(RUN_DIR)/
	cd $(RUN_DIR) && printf '\n' | ../wexla sample 5

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The README's pictures: the browser test's screenshots of the sample's page
# and of a 150-fit run's chart, copied to docs/ (needs chromium).
.PHONY: screenshots
screenshots: build
	WEXLA_BROWSER=now python3 tests/pages/browser_test.py $(BUILD)/wexla examples/sample.OUT \
	  contrib/slurm/wexla-collect $(BUILD)/screenshots
	cp $(BUILD)/screenshots/sample-page.png docs/page-sample.png
	cp $(BUILD)/screenshots/linear-150-chart.png docs/chart-150-fits.png

# The sanitizer build uses clang, so that both compilers build every file
# with warnings as errors.
test-asan:
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
	  -DWEXLA_SANITIZE=ON $(DEVELOPER) $(CMAKE_ARGS) >/dev/null
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ctest --output-on-failure -j $(JOBS)

# clang with libc++, the standard library of macOS. The installed GoogleTest
# is built for libstdc++, so it is built here from sources: GTEST_SOURCES
# (Debian's googletest package) when present, else fetched.
GTEST_SOURCES ?= /usr/src/googletest
test-libcxx:
	cmake -S . -B $(LIBCXX_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_FLAGS=-stdlib=libc++ \
	  -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON \
	  $(if $(wildcard $(GTEST_SOURCES)/CMakeLists.txt),-DFETCHCONTENT_SOURCE_DIR_GOOGLETEST=$(GTEST_SOURCES)) \
	  $(DEVELOPER) $(CMAKE_ARGS) >/dev/null
	cmake --build $(LIBCXX_BUILD) -j $(JOBS)
	cd $(LIBCXX_BUILD) && ctest --output-on-failure -j $(JOBS)

# Every C++ file of the program, the tests, the fuzz targets and the
# benchmarks against the checked-in .clang-format, changing nothing.
CLANG_FORMAT ?= clang-format
format-check:
	git ls-files 'src/*.cpp' 'src/*.hpp' 'tests/*.cpp' 'tests/*.hpp' 'fuzz/*.cpp' 'fuzz/*.hpp' \
	  'bench/*.cpp' 'bench/*.hpp' | xargs $(CLANG_FORMAT) --dry-run -Werror

# Installs wexla and its manual page under PREFIX (make install PREFIX=~/.local).
PREFIX ?= /usr/local
.PHONY: install
install: program
	cmake --install $(BUILD) --prefix $(PREFIX)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(LIBCXX_BUILD) $(PACKAGE_BUILD)

# Fuzzing (clang's libFuzzer): builds the targets in fuzz/ and runs each for
# FUZZ_SECONDS on a working copy of its seeds in fuzz/corpus-work/, so the
# committed seeds in fuzz/corpus/ are never written. Crashing inputs land in
# $(FUZZ_BUILD)/artifacts/.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?= fuzz_read_real fuzz_format_write fuzz_record_read fuzz_scan
FUZZ_FLAGS ?=
FUZZ_FLAGS_fuzz_scan = -max_len=16384 -entropic=0
# fuzz_scan runs the whole program in process at every input, so the
# fuzzer's own work per input counts: the entropic schedule's bookkeeping
# of rare features took a sixth of its time, a smaller quarantine for
# freed memory keeps its memory, and so its page faults, down, and no
# allocation stacks saves an unwinding at every allocation (a report still
# gives the stack of the bad access; run the kept artifact again without
# these options for the allocation's).
FUZZ_ENV_fuzz_scan = ASAN_OPTIONS=quarantine_size_mb=32:malloc_context_size=0

.PHONY: fuzz fuzz-build
fuzz: $(addprefix fuzz-run-,$(FUZZ_TARGETS))
	@echo "fuzz: $(words $(FUZZ_TARGETS)) passed, 0 failed"

fuzz-build:
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DWEXLA_FUZZ=ON -DWEXLA_TESTS=OFF -DWEXLA_WERROR=ON $(CMAKE_ARGS) >/dev/null
	cmake --build $(FUZZ_BUILD) -j $(JOBS)

fuzz-run-%: fuzz-build
	mkdir -p fuzz/corpus-work/$* $(FUZZ_BUILD)/artifacts
	cp fuzz/corpus/$*/* fuzz/corpus-work/$*/
	$(FUZZ_ENV_$*) $(FUZZ_BUILD)/fuzz/$* -max_total_time=$(FUZZ_SECONDS) -timeout=60 -print_final_stats=1 \
	  -artifact_prefix=$(FUZZ_BUILD)/artifacts/$*- -dict=fuzz/$*.dict $(FUZZ_FLAGS_$*) $(FUZZ_FLAGS) \
	  fuzz/corpus-work/$*

# Benchmarks (docs/PERFORMANCE.md): builds wexla and the bench tools in
# $(BENCH_BUILD), then times whole runs with bench/run.sh on results files
# of each size in BENCH_SIZE (for example BENCH_SIZE="256M 1G 2G") against
# the same-calls floor.
# `make bench-micro` runs the microbenchmarks, `make bench-batch` the batch
# runs against their yardsticks (bench/run.sh runs those too, BATCH=1).
BENCH_BUILD ?= build-bench
BENCH_SIZE ?= 256M

.PHONY: bench bench-build bench-micro
bench-build:
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWEXLA_BENCH=ON \
	  -DWEXLA_TESTS=OFF $(CMAKE_ARGS) >/dev/null
	cmake --build $(BENCH_BUILD) -j $(JOBS)

bench: bench-build
	WEXLA=$(BENCH_BUILD)/wexla MAKE_RESULTS=$(BENCH_BUILD)/bench/make_results \
	  MEASURE=$(BENCH_BUILD)/bench/measure FLOOR=$(BENCH_BUILD)/bench/same_calls_floor \
	  sh bench/run.sh $(BENCH_SIZE)

bench-micro: bench-build
	$(BENCH_BUILD)/bench/micro_bench

# Batch runs, which start no process, against cat, the awk script and the
# README's xargs recipe with `true` (bench/batch.sh).
.PHONY: bench-batch
bench-batch: bench-build
	WEXLA=$(BENCH_BUILD)/wexla MAKE_RESULTS=$(BENCH_BUILD)/bench/make_results \
	  MEASURE=$(BENCH_BUILD)/bench/measure sh bench/batch.sh

# The processor time of a followed run waiting a minute for a file that
# does not grow (bench/follow_idle.sh; goal: at most 10 ms).
.PHONY: bench-follow
bench-follow: bench-build
	WEXLA=$(BENCH_BUILD)/wexla MEASURE=$(BENCH_BUILD)/bench/measure sh bench/follow_idle.sh

# Packages of the program alone (docs in README.md): a Debian package where
# dpkg-shlibdeps is found, and a .tar.gz, made in $(PACKAGE_BUILD)/ from a
# Release build without the tests.
PACKAGE_BUILD ?= build-package

.PHONY: package
package:
	cmake -S . -B $(PACKAGE_BUILD) -DCMAKE_BUILD_TYPE=Release -DWEXLA_TESTS=OFF >/dev/null
	cmake --build $(PACKAGE_BUILD) -j $(JOBS) --target wexla
	cd $(PACKAGE_BUILD) && cpack
