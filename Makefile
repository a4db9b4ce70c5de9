# The two commands of the README: `make run` and `make test`. Both install what is missing,
# configure and build first.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
RUN_ARGS ?=

.PHONY: all deps configure build run test test-native test-node clean

all: build

deps:
	scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	scripts/run-pylon $(BUILD) $(RUN_ARGS)

test: build
	scripts/run-tests $(BUILD)

clean:
	rm -rf $(BUILD)
