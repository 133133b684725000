# The two commands: `make run` and `make test`; besides them `make bench`,
# `make fuzz`, `make soak` and `make package` (the release zip). Each installs
# what is missing, configures and builds, then runs.
BUILD_DIR ?= build/mingw
export BUILD_DIR
LUA_SOURCES := /usr/share/cargo/registry/lua52-sys-0.1.2/lua
# Passed on to the makes that cmake --build runs, so that only the compiler's
# progress shows.
MAKEFLAGS += --no-print-directory

.PHONY: all setup configure build run test bench fuzz soak package clean

all: build

setup:
	@scripts/setup.sh

configure: setup
	@cmake --preset mingw -B $(BUILD_DIR) -DFETCHCONTENT_SOURCE_DIR_LUA=$(LUA_SOURCES) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j2

run: build
	@scripts/run.sh

test: build
	@scripts/test.sh

bench: build
	@scripts/bench.sh

fuzz: build
	@scripts/fuzz.sh

package: build
	@cmake --build $(BUILD_DIR) --target package

soak: build
	@scripts/soak.sh

clean:
	rm -rf build
