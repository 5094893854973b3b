# The memorable commands; CMake does the building.
#   make play    what a player needs: installs only the packages that building and running the
#                game need, builds only the game, and opens it
#   make host    the same, with the page, hosting a match for a friend on this network
#   make test    the project's checks: every test package, every test, warnings as errors
#   make fuzz    a million runs of the online messages' fuzz target
BUILD ?= build
ASAN_BUILD ?= build-asan
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
PREFIX ?= /usr/local

# Without options the build is a player's: the game alone, a newer compiler's warnings left as
# warnings. A build directory keeps the options it was last configured with.
CONFIGURE = cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
# The project's own checks: tests on, every warning an error.
CHECKED = -DBUILD_TESTING=ON -DVOLTARO_WERROR=ON
# What installing and packaging take from the build directory.
INSTALLED = --target voltaro voltaro-server voltaro_docs

.PHONY: all deps build play host test test-asan bench soak run-soak screenshot install uninstall package format clean
.PHONY: web serve test-web bench-web screenshot-web fuzz

all: build

deps:
	@scripts/install-deps test

play:
	@scripts/install-deps play
	@$(CONFIGURE) -DBUILD_TESTING=OFF -DVOLTARO_WERROR=OFF >/dev/null
	@cmake --build $(BUILD) -j $(JOBS) --target voltaro
	$(BUILD)/voltaro

# A match for a friend on this network: the game hosts it and serves the page, so the friend
# needs only a browser.
host:
	@scripts/install-deps play
	@$(MAKE) --no-print-directory web
	@$(CONFIGURE) -DBUILD_TESTING=OFF -DVOLTARO_WERROR=OFF >/dev/null
	@cmake --build $(BUILD) -j $(JOBS) --target voltaro
	$(BUILD)/voltaro --host --site $(WEB_BUILD)/site

# Everything the checks use: the game, tools and tests.
build: deps
	@$(CONFIGURE) $(CHECKED) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

# Every test, then the headless ones again under the sanitizers, and a short run of the fuzz
# target (a crash it finds fails the checks).
test: build
	ctest --test-dir $(BUILD) --no-tests=error --output-on-failure -j $(JOBS)
	@$(MAKE) --no-print-directory test-asan
	@$(MAKE) --no-print-directory test-web
	@$(MAKE) --no-print-directory fuzz FUZZ_RUNS=20000 FUZZ_SECONDS=120

test-asan: deps
	@cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DVOLTARO_QT=OFF -DVOLTARO_SANITIZE=ON -DBUILD_TESTING=ON \
		-DVOLTARO_WERROR=ON >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	ctest --test-dir $(ASAN_BUILD) --no-tests=error --output-on-failure -j $(JOBS)

# What the game costs, measured on this machine: one table, and $(BUILD)/bench.json; then how
# a predicted match jumps at round trips of 20, 100 and 250 ms ($(BUILD)/prediction.json); then
# the match server's load figures, and the most matches the core carried.
SERVER_MATCHES ?= 500 1000 2000
# The soak: SOAK_MATCHES honest matches for SOAK_SECONDS beside a hostile mix, with the server's
# default limits; `make soak SOAK_MATCHES=20 SOAK_SECONDS=60` is a quick look.
SOAK_MATCHES ?= 200
SOAK_SECONDS ?= 600
bench:
	@scripts/install-deps bench
	@$(CONFIGURE) -DVOLTARO_BENCH=ON >/dev/null
	@cmake --build $(BUILD) -j $(JOBS) --target voltaro-bench voltaro-server-load voltaro-server-soak \
		voltaro-prediction-bench
	$(BUILD)/voltaro-bench --out $(BUILD)/bench.json
	$(BUILD)/voltaro-prediction-bench --out $(BUILD)/prediction.json
	@# The match server under SERVER_MATCHES matches at a time, pinned to the first core by
	@# the load, which runs on the second: $(BUILD)/server-load-N.json.
	@for n in $(SERVER_MATCHES); do \
		echo "voltaro-server with $$n matches:"; \
		rm -f $(BUILD)/server-load-$$n.json; \
		taskset -c 1 $(BUILD)/voltaro-server-load --server $(BUILD)/voltaro-server \
			--matches $$n --seconds 20 --out $(BUILD)/server-load-$$n.json >/dev/null; \
		[ -f $(BUILD)/server-load-$$n.json ] || { echo "  the load did not get every match started"; continue; }; \
		cat $(BUILD)/server-load-$$n.json; \
		grep -q '"carried": true' $(BUILD)/server-load-$$n.json && carried=$$n; \
	done; \
	echo "voltaro-server carried $${carried:-none of the} matches on one core"
	@$(MAKE) --no-print-directory run-soak
	@$(MAKE) --no-print-directory bench-web

# Lighthouse's four scores for the page as voltaro-server sends it, on a phone (simulated slow
# 4G) and on a desktop: $(WEB_BUILD)/lighthouse/lighthouse-{mobile,desktop}.json.
bench-web: build
	@$(MAKE) --no-print-directory web
	@cd $(WEB_TESTS) && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --silent
	cd $(WEB_TESTS) && VOLTARO_SITE=$(abspath $(WEB_BUILD))/site \
		VOLTARO_NATIVE_BUILD=$(abspath $(BUILD)) node lighthouse-bench.js $(abspath $(WEB_BUILD))/lighthouse

# The server pinned to the first core, the honest players and the strangers on the second:
# $(BUILD)/server-soak.json; it fails when a wanted figure is missed.
soak:
	@scripts/install-deps bench
	@$(CONFIGURE) -DVOLTARO_BENCH=ON >/dev/null
	@cmake --build $(BUILD) -j $(JOBS) --target voltaro-server-soak
	@$(MAKE) --no-print-directory run-soak

run-soak:
	@echo "voltaro-server with $(SOAK_MATCHES) matches for $(SOAK_SECONDS) s beside a hostile mix:"
	@taskset -c 1 $(BUILD)/voltaro-server-soak --server $(BUILD)/voltaro-server \
		--matches $(SOAK_MATCHES) --seconds $(SOAK_SECONDS) --out $(BUILD)/server-soak.json \
		>/dev/null; status=$$?; cat $(BUILD)/server-soak.json; exit $$status

# The README's picture, painted by the game's own painter.
screenshot: build
	$(BUILD)/voltaro-screenshot docs/screenshot.png

# Installs the game, its manual page, menu entry, metainfo and icons under $(PREFIX) (the game
# in $(PREFIX)/bin); DESTDIR=DIR stages the same tree inside DIR.
install:
	@scripts/install-deps play server
	@$(CONFIGURE) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS) $(INSTALLED)
	cmake --install $(BUILD) --prefix $(PREFIX)

# Removes those files, and the folders that installing made once they are empty.
uninstall:
	cmake -DPREFIX=$(PREFIX) -P $(BUILD)/voltaro_uninstall.cmake

# A .deb of the same files under /usr, the game in /usr/games: $(BUILD)/voltaro_VERSION_ARCH.deb.
package:
	@scripts/install-deps package
	@$(CONFIGURE) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS) $(INSTALLED)
	cd $(BUILD) && cpack -G DEB

# The web edition: $(WEB_BUILD)/site/ holds the page, the module and the two faces, each with its
# gzip and brotli copies, for any static web server; make serve serves it on 127.0.0.1.
WEB_BUILD ?= build-web
WEB_PORT ?= 8000
WEB_TESTS = tests/web
# A player's page by default; the checks add the tests and make warnings errors.
WEB_FLAGS ?=

web:
	@scripts/install-deps web
	@cd web && npm ci --no-audit --no-fund --silent
	@NODE_PATH=/usr/share/nodejs emcmake cmake -S . -B $(WEB_BUILD) -DCMAKE_BUILD_TYPE=Release \
		-DVOLTARO_QT=OFF -DCMAKE_CROSSCOMPILING_EMULATOR=/usr/bin/node \
		-DVOLTARO_NATIVE_REPLAY=$(abspath $(BUILD))/voltaro-replay $(WEB_FLAGS) >/dev/null
	@cmake --build $(WEB_BUILD) -j $(JOBS)

# Served by the match server, as a public deployment serves it: compressed, with its validators
# and headers, and online play on the same port.
serve: web
	@scripts/install-deps server
	@$(CONFIGURE) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS) --target voltaro-server
	$(BUILD)/voltaro-server --listen 127.0.0.1:$(WEB_PORT) --site $(WEB_BUILD)/site

# The headless tests and the replay tool under node, and the page in Debian's chromium.
test-web: build
	@$(MAKE) --no-print-directory web WEB_FLAGS="$(CHECKED)"
	@cd $(WEB_TESTS) && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --silent
	ctest --test-dir $(WEB_BUILD) --no-tests=error --output-on-failure -j $(JOBS)

# The README's phone picture: the page on a phone on its side, with its pads.
screenshot-web: web
	@cd $(WEB_TESTS) && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --silent
	cd $(WEB_TESTS) && VOLTARO_SITE=$(abspath $(WEB_BUILD))/site node phone-screenshot.js $(CURDIR)/docs/phone.png
# The fuzz target of the online messages, built with clang's libFuzzer and the sanitizers in
# its own build directory. What it learns is kept in $(FUZZ_BUILD)/corpus; a crash stops it
# with the input saved in $(FUZZ_BUILD)/ and a failed status.
FUZZ_BUILD ?= build-fuzz
FUZZ_RUNS ?= 1000000
FUZZ_SECONDS ?= 7200
fuzz:
	@scripts/install-deps fuzz
	@CXX=clang++-14 cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVOLTARO_QT=OFF \
		-DVOLTARO_FUZZ=ON -DVOLTARO_WERROR=ON >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target voltaro-protocol-fuzz
	@mkdir -p $(FUZZ_BUILD)/corpus
	$(FUZZ_BUILD)/voltaro-protocol-fuzz -runs=$(FUZZ_RUNS) -max_total_time=$(FUZZ_SECONDS) \
		-artifact_prefix=$(FUZZ_BUILD)/ -print_final_stats=1 $(FUZZ_BUILD)/corpus tests/fuzz/protocol-seeds

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(WEB_BUILD) $(FUZZ_BUILD)
