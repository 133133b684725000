# The two commands: `make run` and `make test` (and `make bench` and `make soak`).
# Each installs what is missing, configures and builds, then runs.
BUILD_DIR ?= build/mingw
export BUILD_DIR
LUA_SOURCES := /usr/share/cargo/registry/lua52-sys-0.1.2/lua

.PHONY: all setup configure build run test bench soak clean

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

soak: build
	@scripts/soak.sh

clean:
	rm -rf build
