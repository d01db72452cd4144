# Thin front end over CMake. `make run` runs the whole job on the bundled
# sample in a scratch folder; `make test` builds and runs every test.
BUILD ?= build
ASAN_BUILD ?= build-asan
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
RUN_DIR ?= $(BUILD)/run

.PHONY: all build run test test-asan clean

all: build

build:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

run: build
	rm -rf $(RUN_DIR) && mkdir -p $(RUN_DIR)
	cp examples/sample.OUT $(RUN_DIR)/
	cd $(RUN_DIR) && printf '\n' | ../wexla sample 5

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The sanitizer build uses clang, so that both compilers build every file
# with warnings as errors.
test-asan:
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
	  -DWEXLA_SANITIZE=ON >/dev/null
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
