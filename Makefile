# The everyday commands. Each installs missing packages first, so a fresh Debian machine needs
# nothing but this checkout.

JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
FUZZ_SECONDS ?= 60

BUILD := build
ASAN_BUILD := build-asan
TSAN_BUILD := build-tsan
BENCH_BUILD := build-bench
FUZZ_BUILD := build-fuzz
PACKAGE_BUILD := build-package

.PHONY: all deps build test demo test-sanitize bench fuzz format clean package

all: build

deps:
	@scripts/install-deps

$(BUILD)/build.ninja: CMakeLists.txt | deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

# Every test of every layer.
test: build
	ctest --test-dir $(BUILD) -j $(JOBS) --output-on-failure

# What exists so far, run on generated media.
demo: build
	@scripts/demo $(BUILD)

# Every test under AddressSanitizer and UndefinedBehaviorSanitizer, then the threaded tests under
# ThreadSanitizer (only their programs are built for it).
test-sanitize: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKORVALIS_SANITIZE=address,undefined $(CMAKE_FLAGS)
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir $(ASAN_BUILD) -j $(JOBS) --output-on-failure
	cmake -S . -B $(TSAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKORVALIS_SANITIZE=thread $(CMAKE_FLAGS)
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target $$(ninja -C $(TSAN_BUILD) -t targets all | \
	  sed -n 's/^\(korvalis_[A-Za-z0-9_]*_threaded_tests\|galewick_[A-Za-z0-9_]*ThreadTest\): .*/\1/p' | sort -u)
	TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$(CURDIR)/scripts/tsan-suppressions.txt \
	  ctest --test-dir $(TSAN_BUILD) -j $(JOBS) -L threaded --output-on-failure

bench: deps
	cmake -S . -B $(BENCH_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DKORVALIS_BUILD_TESTS=OFF -DKORVALIS_BUILD_BENCHMARKS=ON $(CMAKE_FLAGS)
	cmake --build $(BENCH_BUILD) -j $(JOBS)
	@scripts/run-benchmarks $(BENCH_BUILD)

# Builds the libFuzzer targets with clang and runs each for FUZZ_SECONDS.
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVALIS_BUILD_TESTS=OFF -DKORVALIS_BUILD_FUZZERS=ON $(CMAKE_FLAGS)
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@scripts/run-fuzzers $(FUZZ_BUILD) $(FUZZ_SECONDS)

# A Debian package of the programs, in build-package/: install it with `apt install ./FILE.deb`.
package: deps
	cmake -S . -B $(PACKAGE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DKORVALIS_BUILD_TESTS=OFF -DCMAKE_INSTALL_PREFIX=/usr $(CMAKE_FLAGS)
	cmake --build $(PACKAGE_BUILD) -j $(JOBS)
	cd $(PACKAGE_BUILD) && cpack -G DEB
	@ls -1 $(PACKAGE_BUILD)/*.deb

format:
	@git ls-files --cached --others --exclude-standard '*.cpp' '*.h' | xargs -r clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(BENCH_BUILD) $(FUZZ_BUILD) $(PACKAGE_BUILD)
