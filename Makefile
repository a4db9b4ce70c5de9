# The two commands of the README: `make run` and `make test`. Both install what is missing,
# configure and build first.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
RUN_ARGS ?=

.PHONY: all deps configure build run test screenshots install clean

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

# Installs both bundles, their desktop entries and icons under PREFIX (default ~/.local) and makes
# them the handlers of their URL schemes.
PREFIX ?= $(HOME)/.local
install: build
	cmake --install $(BUILD) --prefix "$(PREFIX)"
	scripts/register-url-handlers "$(PREFIX)"

clean:
	rm -rf $(BUILD)
