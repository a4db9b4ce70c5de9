# The two commands of the README: `make run` and `make test`. Both install what is missing,
# configure and build first.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
RUN_ARGS ?=

.PHONY: all deps configure build run test screenshots install uninstall package bench clean

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

clean:
	rm -rf $(BUILD)

# Builds and runs every benchmark and prints one table: each measure beside its floor, the ratio,
# the goal and pass or FAIL (README, "Benchmarks"). Settings: BENCH_* variables of bench/run-all.
bench: build
	bench/run-all $(BUILD)
