# Kestrune: the two commands a new user needs are `make run` and `make test`.
BUILD_DIR ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=
SAMPLE ?= samples/ascii-two-eyes.oma

.PHONY: all deps configure build test run clean sanitize fuzz install package

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

# Installs the programs, the desktop's files, the manual pages and the core
# library for other programs below PREFIX (default /usr/local); DESTDIR puts
# the whole tree below another folder, for packaging. Build first as yourself
# (make test), then run this as root for a system folder.
PREFIX ?= /usr/local
install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD_DIR) --prefix "$(PREFIX)"

# The Debian packages kestrune (the programs and the desktop's files) and
# kestrune-dev (the core library), written into $(BUILD_DIR)/.
package: deps
	$(MAKE) build
	cd $(BUILD_DIR) && cpack -G DEB
	@ls -1 $(BUILD_DIR)/*.deb

# The whole test suite built with AddressSanitizer (leak checks on) and
# UndefinedBehaviorSanitizer; any report fails the run.
SANITIZE_DIR ?= build-asan
sanitize: deps
	cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=Debug -DKESTRUNE_SANITIZE=ON $(CMAKE_FLAGS)
	cmake --build $(SANITIZE_DIR) -j $(JOBS)
	cd $(SANITIZE_DIR) && \
	  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS)

# Every fuzz target for FUZZ_SECONDS seconds each (FUZZ_TARGETS picks some),
# built with clang, libFuzzer and both sanitizers. Findings land in
# $(FUZZ_DIR)/fuzz-findings/ and fail the run.
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 60
fuzz: deps
	cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	  -DKESTRUNE_FUZZ=ON -DKESTRUNE_TESTS=OFF $(CMAKE_FLAGS)
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target kestrune_fuzzers
	FUZZ_SECONDS=$(FUZZ_SECONDS) ./fuzz/run-fuzzers $(FUZZ_DIR)

clean:
	rm -rf $(BUILD_DIR)
