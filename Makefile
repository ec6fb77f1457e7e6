# Two commands for a newcomer: `make run` and `make test`.
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?=

.PHONY: deps configure build run test asan clean

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j$(JOBS)

run: build
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
	  echo "make run: no display (neither DISPLAY nor WAYLAND_DISPLAY is set); cannot show the window." >&2; \
	  exit 1; \
	fi
	@$(BUILD)/malvore

test: build
	@cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS)

asan:
	@$(MAKE) test BUILD=build-asan CMAKE_FLAGS="-DMALVORE_SANITIZE=ON"

clean:
	@rm -rf $(BUILD) build-asan
