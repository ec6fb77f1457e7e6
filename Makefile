# Two commands for a newcomer: `make run` and `make test`.
MAKEFLAGS += --no-print-directory
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?=
# ON fails the build on any warning in the product's code (not in tests or
# benchmarks); .ci/run sets it. Passed on every configure, so a build folder
# never keeps a value from an earlier run.
WERROR ?= OFF

.PHONY: deps configure build run test asan rescue fuzz bench bench-recovery package clean

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -DMALVORE_WERROR=$(WERROR) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j$(JOBS)

# Only the window and what it links: the tests are for `make test`.
run: configure
	@cmake --build $(BUILD) -j$(JOBS) --target malvore
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
	  echo "make run: no display (neither DISPLAY nor WAYLAND_DISPLAY is set); cannot show the window." >&2; \
	  exit 1; \
	fi
	@$(BUILD)/malvore

test: build
	@cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS)

asan:
	@$(MAKE) test BUILD=build-asan CMAKE_FLAGS="-DMALVORE_SANITIZE=ON"

FUZZ_SECONDS ?= 600

# samples/cpm.dsk is refused on purpose (status 1); usage errors and crashes still fail.
rescue: build
	@$(BUILD)/malvore-rescue --output rescued samples/*.dsk || [ $$? -eq 1 ]

fuzz: deps
	@FUZZ_SECONDS=$(FUZZ_SECONDS) tests/fuzz/build-and-run

bench: build
	@BUILD=$(BUILD) bench/run-throughput

# Files recovered from damaged reads in each rescue mode, against the limit.
bench-recovery: configure
	@BUILD=$(BUILD) JOBS=$(JOBS) bench/run-recovery

# The Debian package of the programs, checked by lintian; in $(BUILD).
package:
	@scripts/install-deps package
	@cmake -S . -B $(BUILD) -DMALVORE_WERROR=$(WERROR) $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD) -j$(JOBS) --target malvore malvore-rescue
	@rm -f $(BUILD)/malvore_*.deb
	@cd $(BUILD) && cpack -G DEB >cpack.log || { cat cpack.log >&2; exit 1; }
	@tests/test_package.sh $(BUILD)/malvore_*.deb

clean:
	@rm -rf $(BUILD) build-asan build-fuzz
