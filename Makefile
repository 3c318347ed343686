# Thin front door: CMake does the building, ctest the testing.
BUILD ?= build
JOBS ?= $(shell nproc)

PREFIX ?= /usr/local

.PHONY: all setup configure build test demo install clean format fuzz test-asan soak

all: build

setup:
	@sh scripts/setup

# The tests are configured (and so built) only once something asks for them;
# a build directory made by "make demo" gains them on the next "make test".
configure: setup
	@if [ ! -f $(BUILD)/build.ninja ] || grep -q '^BUILD_TESTING:BOOL=OFF$$' $(BUILD)/CMakeCache.txt; then \
	  cmake -S . -B $(BUILD) -G Ninja -DBUILD_TESTING=ON; fi

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Only what the demo runs: the program, the stand-in toolchain and the
# installation tree with its generated libraries and headers.
DEMO_TARGETS = slipway toolchain_programs studio_data studio_generated

demo: setup
	@[ -f $(BUILD)/build.ninja ] || cmake -S . -B $(BUILD) -G Ninja -DBUILD_TESTING=OFF
	cmake --build $(BUILD) -j $(JOBS) --target $(DEMO_TARGETS)
	@sh scripts/demo $(BUILD)

# The kill test at thousands of kill points instead of the hundred of "make test".
SOAK_ROUNDS ?= 3000
soak: build
	cd $(BUILD) && XDG_CONFIG_HOME=$$PWD/test-home/.config XDG_CACHE_HOME=$$PWD/test-home/.cache \
	  HOME=$$PWD/test-home SLIPWAY_KILL_ROUNDS=$(SOAK_ROUNDS) \
	  tests/e2e/test_e2e --gtest_filter='KillTest.EveryKillIsRepairedByTheNextBuild'

install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD)

# Whole suite under AddressSanitizer and UBSan, in its own build directory;
# any sanitizer report fails the test that triggered it.
ASAN_BUILD ?= build-asan
SANITIZER_ENV = \
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:exitcode=86:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:exitcode=86 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/fuzz/lsan.supp:print_suppressions=0

test-asan: setup
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DSLIPWAY_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && $(SANITIZER_ENV) ctest --output-on-failure -j $(JOBS)

# libFuzzer targets (clang), each run for FUZZ_SECONDS from a scratch copy of
# its committed corpus; a crash, leak, hang or out-of-memory fails the run.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60

fuzz:
	@sh scripts/setup fuzz
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DSLIPWAY_FUZZ=ON -DBUILD_TESTING=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzzers
	@sh fuzz/run $(FUZZ_BUILD) $(FUZZ_SECONDS)
