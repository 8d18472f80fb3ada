# SPDX-License-Identifier: MIT
# Varlen: `make run` builds the window and starts it; `make test` builds everything and runs every
# test; `make programs` builds both programs, `make install` and `make deb` install or package
# them. Each first installs what is missing (Debian packages, through scripts/install-deps.sh) and
# builds out of tree in build/: a user's targets only the `build` set (what building and running
# take), the targets that build or run tests, fuzzers and benchmarks the `test` set as well.
BUILD      ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
FUZZ_BUILD ?= fuzz-build
JOBS       ?= $(shell nproc)
# Where `make install` puts the programs; DESTDIR, when given, goes in front of it (for packaging).
PREFIX     ?= /usr/local
CMAKE_ARGS ?=
# Seconds per fuzz target: `make fuzz-smoke` (run by `make test`) and `make fuzz`.
SMOKE_SECONDS ?= 60
FUZZ_SECONDS  ?= 600
# The test programs of the sanitizer build.
SANITIZED_SUITES := engine_tests;platform_tests;raster_tests;control_tests;imaging_tests;vector_tests
# The test programs of the ThreadSanitizer build, and of them the tests it runs: the library's
# (eight threads drawing at once) and varlen-cli's batches (--jobs).
TSAN_SUITES := lib_tests;cli_tests
TSAN_TESTS  := ^(lib_tests|cli_tests[.]CliBatch)

.PHONY: all deps test-deps configure test-configure build run programs install deb test unit-test sanitize-test tsan-test \
	fuzzers fuzz-smoke fuzz bench clean

all: build

deps:
	@bash scripts/install-deps.sh build

test-deps:
	@bash scripts/install-deps.sh build test

# Without GoogleTest (the `test` set) the configuration leaves the tests out.
configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS) >/dev/null

test-configure: test-deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS) >/dev/null

# Everything: the programs, the library, the tests and the benchmarks.
build: test-configure
	@cmake --build $(BUILD) -j $(JOBS)

# Only what the window needs: no tests, no benchmarks.
run: configure
	@cmake --build $(BUILD) -j $(JOBS) --target varlen
	@exec $(BUILD)/app/varlen

# The programs, their help file, menu entry, icons, manual pages and shell completion (the files
# listed in tests/install/installed-files.txt), built in $(BUILD) and nothing else.
programs: configure
	@cmake --build $(BUILD) -j $(JOBS) --target varlen_install_files

# The same, installed under $(DESTDIR)$(PREFIX).
install: programs
	@DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)" --strip

# The Debian packages of the same files under /usr, in $(BUILD): varlen (the window), varlen-cli,
# libvarlenN (the shared library and the vector module) and libvarlen-dev, each
# NAME_VERSION_ARCH.deb.
deb: programs
	@cd $(BUILD) && cpack -G DEB >/dev/null && ls "$$PWD"/*.deb

# Everything CI proves: the tests of the normal build, then the same tests built with
# AddressSanitizer and UndefinedBehaviorSanitizer, the threaded ones with ThreadSanitizer, then one
# minute of fuzzing per target.
test: unit-test
	@$(MAKE) --no-print-directory sanitize-test
	@$(MAKE) --no-print-directory tsan-test
	@$(MAKE) --no-print-directory fuzz-smoke

unit-test: build
	@cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --no-tests=error -j $(JOBS)

# The sanitizers' options (halt on the first report, leak check, suppressions) are compiled into
# the test programs (tests/support/SanitizerOptions.cpp).
sanitize-test: test-deps
	@cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARLEN_SANITIZE=ON \
	  -DVARLEN_BUILD_BENCH=OFF "-DVARLEN_TEST_SUITES=$(SANITIZED_SUITES)" $(CMAKE_ARGS) >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS) --target varlen_tests
	@cd $(ASAN_BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --no-tests=error -j $(JOBS)

# A small build without Qt of only the threaded suites, with ThreadSanitizer (which excludes
# AddressSanitizer, hence a build of its own). The test programs have their options compiled in;
# the varlen-cli they start takes them from TSAN_OPTIONS.
tsan-test: test-deps
	@cmake -S . -B $(TSAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARLEN_SANITIZE=ON -DVARLEN_SANITIZERS=thread \
	  -DVARLEN_WITH_QT=OFF -DVARLEN_BUILD_BENCH=OFF "-DVARLEN_TEST_SUITES=$(TSAN_SUITES)" $(CMAKE_ARGS) >/dev/null
	@cmake --build $(TSAN_BUILD) -j $(JOBS) --target varlen_tests
	@cd $(TSAN_BUILD) && TSAN_OPTIONS="halt_on_error=1 suppressions=$(CURDIR)/tests/support/tsan.supp" \
	  ctest --output-on-failure --no-tests=error -j $(JOBS) -R '$(TSAN_TESTS)'

fuzzers: test-deps
	@CC=clang-14 CXX=clang++-14 cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DVARLEN_FUZZ=ON -DVARLEN_WITH_QT=OFF -DVARLEN_BUILD_TESTS=OFF -DVARLEN_BUILD_BENCH=OFF >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target varlen_fuzzers

fuzz-smoke: fuzzers
	@bash fuzz/run.sh $(FUZZ_BUILD) $(SMOKE_SECONDS) $(JOBS)

fuzz: fuzzers
	@bash fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS) $(JOBS)

bench: build
	@for b in $(BUILD)/bench/bench_*; do [ -x "$$b" ] && "$$b" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true; done

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
