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

# With a display, the viewer opens on the sample; without one, kestrune-cli
# show runs the viewer's sequence on it. LOCALFOLDER=DIR/ moves the working
# folder from ~/Documents/Quorvanta to DIR/Quorvanta.
run: deps
	$(MAKE) build
	@if [ -n "$${DISPLAY}$${WAYLAND_DISPLAY}" ] && [ -x ./$(BUILD_DIR)/bin/kestrune ]; then \
		echo "make run: opening the viewer on $(SAMPLE)"; \
		./$(BUILD_DIR)/bin/kestrune $(SAMPLE) $(if $(LOCALFOLDER),LOCALFOLDER=$(LOCALFOLDER)); \
	else \
		echo "make run: no display; running kestrune-cli show $(SAMPLE)"; \
		out=$$(./$(BUILD_DIR)/bin/kestrune-cli show $(SAMPLE) $(if $(LOCALFOLDER),LOCALFOLDER=$(LOCALFOLDER))); \
		status=$$?; printf '%s\n' "$$out"; \
		dump=$$(printf '%s\n' "$$out" | sed -n 's/^Dump: //p'); \
		if [ -n "$$dump" ]; then \
			echo "make run: the dump and the pictures of both eyes were written to $$(dirname "$$dump")/"; \
		fi; \
		exit $$status; \
	fi

clean:
	rm -rf $(BUILD_DIR)
