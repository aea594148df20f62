# Convenience wrapper around CMake. See README.md.
SHELL := /bin/bash
.SHELLFLAGS := -eu -o pipefail -c

WERROR ?= OFF
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60
KILLS ?= 50
CRASH_ROWS ?= 40000
GENERATOR := -G Ninja

.PHONY: all deps run demo test check crash-test bench fuzz format format-check clean package

all: test

deps:
	@tools/install-deps

run: deps
	cmake -S . -B build/debug $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DDARNI_WERROR=$(WERROR) -DDARNI_BENCH=ON
	cmake --build build/debug -j $(JOBS) --target ornak-sim darni-cli darni
	tools/run-program build/debug

demo: deps
	cmake -S . -B build/debug $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DDARNI_WERROR=$(WERROR) -DDARNI_BENCH=ON
	cmake --build build/debug -j $(JOBS) --target ornak-sim darni-cli
	tools/demo build/debug

# The benchmarks are built (not run) with the tests, so that a change of an interface they use shows.
test: deps
	cmake -S . -B build/debug $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DDARNI_WERROR=$(WERROR) -DDARNI_BENCH=ON
	cmake --build build/debug -j $(JOBS)
	cd build/debug && ctest --output-on-failure --no-tests=error -j $(JOBS)

check: deps
	cmake -S . -B build/asan $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DDARNI_WERROR=$(WERROR) -DDARNI_BENCH=OFF \
	      -DDARNI_SANITIZE=ON
	cmake --build build/asan -j $(JOBS)
	cd build/asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
	    ctest --output-on-failure --no-tests=error -j $(JOBS)

# A Debian package of a Release build (build/release/darni_VERSION_ARCH.deb), as "cmake --install" lays it out.
package: deps
	cmake -S . -B build/release $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DDARNI_BENCH=OFF
	cmake --build build/release -j $(JOBS)
	cd build/release && cpack -G DEB
	ls build/release/*.deb

crash-test: deps
	cmake -S . -B build/debug $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DDARNI_WERROR=$(WERROR) -DDARNI_BENCH=ON
	cmake --build build/debug -j $(JOBS) --target ornak-sim darni-cli
	tools/crash-test --build build/debug --kills $(KILLS) --rows $(CRASH_ROWS)

bench:
	@tools/install-deps --bench
	cmake -S . -B build/release $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DDARNI_BENCH=ON
	cmake --build build/release -j $(JOBS)
	for b in build/release/bench/bench_*; do echo "== $$b"; "$$b"; done

fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B build/fuzz $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	      -DBUILD_TESTING=OFF -DDARNI_BENCH=OFF -DDARNI_FUZZ=ON
	cmake --build build/fuzz -j $(JOBS)
	for f in build/fuzz/fuzz/fuzz_*; do \
	    name=$$(basename "$$f"); mkdir -p "build/fuzz/corpus/$$name"; \
	    echo "== $$name for $(FUZZ_SECONDS) s"; \
	    "$$f" -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 -artifact_prefix=build/fuzz/ "build/fuzz/corpus/$$name" fuzz/seeds/$$name; \
	done

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

# Fails, naming the lines, where the code is not laid out as .clang-format says.
format-check: deps
	clang-format --dry-run -Werror $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build
