# The two commands: `make run` and `make test`; besides them `make bench`,
# `make fuzz`, `make soak` and `make package` (the release zip). Each installs
# what it needs and is missing, configures, builds what it runs, then runs.
BUILD_DIR ?= build/mingw
export BUILD_DIR
LUA_SOURCES := /usr/share/cargo/registry/lua52-sys-0.1.2/lua
# Passed on to the makes that cmake --build runs, so that only the compiler's
# progress shows.
MAKEFLAGS += --no-print-directory
# What the program's own folder needs: the executable, and through it its
# data and the shader compiler that makes the data; the material checker.
PROGRAM_TARGETS := game materialcheck

.PHONY: all setup configure build run test bench fuzz soak package clean

all: build

# The package set of the goal asked for: the tests' packages only for the
# goals that build tests.
SETUP_SET := test
ifneq ($(filter run soak,$(MAKECMDGOALS)),)
  SETUP_SET := run
endif
ifeq ($(MAKECMDGOALS),package)
  SETUP_SET := package
endif

setup:
	@scripts/setup.sh $(SETUP_SET)

# Without GoogleTest's sources (a machine that only ran or packaged the
# program) the tests are left out; the next `make test` brings them in.
# Configure's progress is hidden, its notices and errors are not.
configure: setup
	@cmake --preset mingw -B $(BUILD_DIR) -DFETCHCONTENT_SOURCE_DIR_LUA=$(LUA_SOURCES) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j2

run: configure
	@cmake --build $(BUILD_DIR) -j2 --target $(PROGRAM_TARGETS) launcher
	@scripts/run.sh

test: build
	@scripts/test.sh

bench: build
	@scripts/bench.sh

fuzz: build
	@scripts/fuzz.sh

# cpack installs what the zip holds from the build folder, building nothing:
# the program's targets are built first.
package: configure
	@cmake --build $(BUILD_DIR) -j2 --target $(PROGRAM_TARGETS)
	@cd $(BUILD_DIR) && cpack --config CPackConfig.cmake

soak: configure
	@cmake --build $(BUILD_DIR) -j2 --target $(PROGRAM_TARGETS) launcher process_sampler
	@scripts/soak.sh

clean:
	rm -rf build
