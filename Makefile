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

.PHONY: all deps configure build run test screenshots install uninstall package bench clean
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

# The real windows in light and dark, 1x and 2x, 9 pt and 11 pt, with and without a tray, as PNG
# files and contact sheets in $(BUILD)/screenshots/desktop/.
screenshots: build
	scripts/screenshots $(BUILD)

# Installs Pylon, its desktop entry, icons, metainfo and manual page under PREFIX (default
# ~/.local; an install into the home also makes Pylon the handler of pylon:// URLs).
# `make uninstall` removes what the last install put in place.
PREFIX ?= $(HOME)/.local
install: build
	cmake --install $(BUILD) --prefix "$(PREFIX)"

uninstall:
	cmake --build $(BUILD) --target uninstall

# A Debian package of the install for /usr, in $(BUILD).
package: build
	cd $(BUILD) && cpack

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

# Builds and runs every benchmark and prints one table: each measure beside its floor, the ratio,
# the goal and pass or FAIL (README, "Benchmarks"). Settings: BENCH_* variables of bench/run-all.
bench: build
	bench/run-all $(BUILD)
