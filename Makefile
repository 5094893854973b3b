# The memorable commands; CMake does the building.
BUILD ?= build
ASAN_BUILD ?= build-asan
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
PREFIX ?= /usr/local

.PHONY: all deps build play test test-asan bench screenshot install uninstall package format clean

all: build

deps:
	@scripts/install-deps

build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

play: build
	$(BUILD)/voltaro

# Every test, then the headless ones again under the sanitizers.
test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)
	@$(MAKE) --no-print-directory test-asan

test-asan: deps
	@cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DVOLTARO_QT=OFF -DVOLTARO_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

# What the game costs, measured on this machine: one table, and $(BUILD)/bench.json.
bench: build
	$(BUILD)/voltaro-bench --out $(BUILD)/bench.json

# The README's picture, painted by the game's own painter.
screenshot: build
	$(BUILD)/voltaro-screenshot docs/screenshot.png

# Installs the game, its menu entry, metainfo and icons under $(PREFIX); DESTDIR=DIR stages
# the same tree inside DIR.
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

uninstall:
	cmake -DPREFIX=$(PREFIX) -P $(BUILD)/voltaro_uninstall.cmake

# A .deb of the same files under /usr: $(BUILD)/voltaro_VERSION_ARCH.deb.
package: build
	cd $(BUILD) && cpack -G DEB

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
