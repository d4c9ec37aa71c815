# Kestrune: the two commands a new user needs are `make run` and `make test`.
BUILD_DIR ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=
SAMPLE ?= samples/ascii-two-eyes.oma

.PHONY: all deps configure build test run clean

all: build

deps:
	./scripts/install-deps

configure:
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: deps
	$(MAKE) build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

run: deps
	$(MAKE) build
	./$(BUILD_DIR)/bin/kestrune-cli list $(SAMPLE)

clean:
	rm -rf $(BUILD_DIR)
