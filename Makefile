# The two commands of the README: `make run` and `make test`. Both install what is missing,
# configure and build first.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
RUN_ARGS ?=

# The checks CI runs besides `make test` (see README): the sanitizer build of the whole suite with
# clang 16, shared by the sanitized test run, clang-tidy and the fuzzers.
SANITIZE_BUILD ?= build-sanitize
SANITIZE_CMAKE_FLAGS ?=
FUZZ_SECONDS ?= 60

.PHONY: all deps configure build run test install clean
.PHONY: sanitize-build test-sanitized tidy fuzz

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

# Installs both bundles, their desktop entries and icons under PREFIX (default ~/.local) and makes
# them the handlers of their URL schemes.
PREFIX ?= $(HOME)/.local
install: build
	cmake --install $(BUILD) --prefix "$(PREFIX)"
	scripts/register-url-handlers "$(PREFIX)"

sanitize-build: deps
	cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_C_COMPILER=clang-16 -DCMAKE_CXX_COMPILER=clang++-16 \
		-DPYLON_FUZZ=ON -DPYLON_BUILD_BENCHMARKS=OFF $(SANITIZE_CMAKE_FLAGS)
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)

test-sanitized: sanitize-build
	scripts/run-sanitized-tests $(SANITIZE_BUILD)

tidy: sanitize-build
	scripts/run-clang-tidy $(SANITIZE_BUILD)

fuzz: sanitize-build
	scripts/run-fuzzers $(SANITIZE_BUILD) $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD)
