# The memorable commands; CMake does the building.
BUILD ?= build
ASAN_BUILD ?= build-asan
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
PREFIX ?= /usr/local

.PHONY: all deps build play test test-asan bench screenshot install uninstall package format clean
.PHONY: web serve test-web

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
	@$(MAKE) --no-print-directory test-web

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

# The web edition: $(WEB_BUILD)/site/ holds the page, the module and the two faces, for any
# static web server; make serve serves it on 127.0.0.1.
WEB_BUILD ?= build-web
WEB_PORT ?= 8000
WEB_TESTS = tests/web

web: deps
	@NODE_PATH=/usr/share/nodejs emcmake cmake -S . -B $(WEB_BUILD) -DCMAKE_BUILD_TYPE=Release \
		-DVOLTARO_QT=OFF -DCMAKE_CROSSCOMPILING_EMULATOR=/usr/bin/node \
		-DVOLTARO_NATIVE_REPLAY=$(abspath $(BUILD))/voltaro-replay >/dev/null
	@cmake --build $(WEB_BUILD) -j $(JOBS)

serve: web
	@echo "Serving the game at http://127.0.0.1:$(WEB_PORT)/ (Ctrl+C stops)"
	@python3 -m http.server --bind 127.0.0.1 $(WEB_PORT) --directory $(WEB_BUILD)/site >/dev/null

# The headless tests and the replay tool under node, and the page in Debian's chromium.
test-web: web
	@cd $(WEB_TESTS) && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --silent
	ctest --test-dir $(WEB_BUILD) --output-on-failure -j $(JOBS)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(WEB_BUILD)
