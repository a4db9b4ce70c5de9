# The two commands of the README: `make run` and `make test`. Both install what is missing,
# configure and build first.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
RUN_ARGS ?=

.PHONY: all deps configure build run test install uninstall package clean

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
