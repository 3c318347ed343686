# Thin front door: CMake does the building, ctest the testing.
BUILD ?= build
JOBS ?= $(shell nproc)

PREFIX ?= /usr/local

.PHONY: all setup configure build test demo install clean format

all: build

setup:
	@sh scripts/setup

$(BUILD)/build.ninja: | setup
	cmake -S . -B $(BUILD) -G Ninja

configure: setup $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

demo: build
	@sh scripts/demo $(BUILD)

install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD)
