# Orvanta's front door. `make demo` and `make test` do all the set-up they
# need on a fresh Debian 12 machine: packages, configure, build, run folder.

BUILD      := build
SANITIZE   := build-sanitize
FUZZ       := build-fuzz
FUZZ_SECONDS ?= 60
GENERATOR  := -G Ninja
# Without a display, GL work runs on Mesa's llvmpipe in a virtual X server.
# -noreset: by default the server resets whenever its last client leaves, and
# a client connecting at that moment is dropped during the reset; the suite's
# in-process GL tests connect and leave in quick succession, two at a time.
XVFB       := xvfb-run -a -s "-screen 0 1280x720x24 -noreset"
JOBS       ?= $(shell nproc)
# A real font seeds the font reader's fuzzing.
FONT       := /usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
PREFIX     ?= /usr/local
WEB        := $(BUILD)/web
STUDIO     := $(BUILD)/studio
PORT       ?= 8000
RELEASE_DIR := $(BUILD)
# What a maker names on the command line reaches the recipes through the
# environment, and each recipe quotes it: a value holding a space, a quote,
# a ';' or a '$' is one argument, never shell code.
export PREFIX DESTDIR DEMO WEB STUDIO PORT RELEASE_DIR JOBS FUZZ_SECONDS

.PHONY: all deps build demo live web serve studio serve-studio release install uninstall test bench sanitize fuzz ci clean

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j "$$JOBS"

demo: build
	cd $(BUILD)/run && if [ -n "$$DISPLAY" ]; then ../bin/orvanta; else $(XVFB) ../bin/orvanta; fi

# The live player on the repository's own sources: shaders from data/, the
# tracks and the score as text, the logo and the tune from the run folder
# (the tune re-rendered there when the score is saved).
# The window suits the machine (LIVE_WINDOW=WxH: another): a CPU renderer
# draws a smaller one faster (the player holds its frame rate by the frame's
# size either way).
# make live DEMO=DIR plays a demo folder (orvanta-new makes one) instead.
LIVE_ARGS  := --data data --data $(BUILD)/run --tracks data/tracks/demo.tracks --score data/music/orvanta.score

live: build
	set -- $(LIVE_ARGS); if [ -n "$$DEMO" ]; then set -- "$$DEMO"; fi; \
	window=$${LIVE_WINDOW:-$$(scripts/live-window.sh)}; \
	if [ -n "$$DISPLAY" ]; then $(BUILD)/bin/orvanta-live "$$@" --window "$$window"; \
	else $(XVFB) $(BUILD)/bin/orvanta-live "$$@" --window "$$window"; fi

# Orvanta in a web page: build/web, a folder any static web server can serve
# (the program built with Emscripten for WebGL2, the shaders translated to
# GLSL ES 3.00, the data). `make serve` serves it on this machine only.
# WEB=DIR lays it out there instead: a new folder, an empty one, or one a
# page was laid out in before (nothing else is ever replaced).

web: build
	scripts/build-web.sh $(BUILD) "$$WEB" $${DEMO:+"$$DEMO"}

serve: web
	scripts/serve-web.py --port "$$PORT" "$$WEB"

# Orvanta Studio: the editor, the shaders and the manifest in any browser,
# the demos kept in it. build/studio is a folder any static web server
# serves (no special headers; nothing fetched from elsewhere as it runs):
# the editor's core built with Emscripten on Dear ImGui from Debian's source
# package (fetched through apt with the project's own sources list under
# build-web/, never the machine's), the page's script with CodeMirror 6
# bundled from npm. `make serve-studio` serves it on this machine (PORT).
# STUDIO=DIR lays it out there instead, as WEB= does for the page.

studio: build
	scripts/build-studio.sh $(BUILD) "$$STUDIO"

serve-studio: studio
	scripts/serve-web.py --port "$$PORT" "$$STUDIO"

# The browser tests' driver, from npm at the locked version; it drives
# Debian's chromium and downloads no browser of its own.
WEB_DRIVER := tests/web/node_modules/playwright-core/package.json

$(WEB_DRIVER): tests/web/package.json tests/web/package-lock.json | deps
	cd tests/web && npm ci --no-audit --no-fund
	touch $@

# A folder that plays on a stock desktop, packed as
# build/orvanta-VERSION-linux-x86_64.tar.gz, and the web folder as
# build/orvanta-VERSION-web.zip (RELEASE_DIR=DIR: there instead).
release: build web
	ORVANTA_WEB="$$WEB" scripts/release.sh $(BUILD) "$$RELEASE_DIR" $${DEMO:+"$$DEMO"}

# Programs in PREFIX/bin, the demo's data in PREFIX/share/orvanta, the
# manual pages in PREFIX/share/man/man1 (data/install.cmake, through
# scripts/install.py). Nothing is copied where any of it cannot be written,
# and nothing replaced that this build did not install. `make uninstall`
# removes from PREFIX what this build installed there and is as it was
# installed.

install: build
	scripts/install.py install $(BUILD) --prefix "$$PREFIX"

uninstall:
	scripts/install.py uninstall $(BUILD) --prefix "$$PREFIX"

# Each suite ends with its ten slowest tests and the share of its time-out
# each took (scripts/run-tests.sh).
test: build web studio $(WEB_DRIVER)
	$(XVFB) scripts/run-tests.sh $(BUILD) -j "$$JOBS"

bench: build web studio $(WEB_DRIVER)
	$(BUILD)/bin/sync_bench
	$(BUILD)/bin/audio_bench
	cd $(BUILD) && $(XVFB) ./bin/startup_bench
	$(BUILD)/bin/frame_bench
	$(BUILD)/bin/live_bench
	$(BUILD)/bin/gui_bench
	@echo "Capture speed at 640x360 (frames a second, last figure):"
	cd $(BUILD)/run && ../bin/orvanta-capture --out /tmp/orvanta-capture-bench.mp4 --size 640x360 --fps 30 --to-row 128
	rm -f /tmp/orvanta-capture-bench.mp4
	node bench/web_bench.mjs "$$WEB" $(BUILD)/bin/orvanta
	node bench/studio_bench.mjs "$$STUDIO"
	node bench/studio_music_bench.mjs "$$STUDIO" $(BUILD)/bin

# The whole suite once more with AddressSanitizer and UndefinedBehaviorSanitizer:
# any report aborts the process it happens in and fails its test. The
# sanitized tree takes its tune from the plain one: the instrumented
# synthesizer would take minutes over it.
$(SANITIZE)/build.ninja: Makefile | deps
	cmake -S . -B $(SANITIZE) $(GENERATOR) -DCMAKE_BUILD_TYPE=Sanitize -DORVANTA_SANITIZE=ON -DORVANTA_BENCH=OFF \
	  -DORVANTA_TUNE=$(abspath $(BUILD))/run/tune.ogg

sanitize: build $(SANITIZE)/build.ninja
	cmake --build $(SANITIZE) -j "$$JOBS"
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  $(XVFB) scripts/run-tests.sh $(SANITIZE) -j "$$JOBS"

# The readers of everything the demo and its tools take from disk, fuzzed for
# a bounded time each; any finding fails.
$(FUZZ)/build.ninja: | deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANTA_FUZZ=ON

fuzz: deps $(FUZZ)/build.ninja
	cmake --build $(FUZZ) -j "$$JOBS"
	mkdir -p $(FUZZ)/corpus/font && cp -f $(FONT) $(FUZZ)/corpus/font/
	for target in track_reader track_text score font part_tag track_document panel demo_folder shader_es; do \
	  mkdir -p $(FUZZ)/corpus/$$target && \
	  $(FUZZ)/bin/$${target}_fuzz -max_total_time="$$FUZZ_SECONDS" -print_final_stats=1 \
	    -artifact_prefix=$(FUZZ)/ \
	    $(FUZZ)/corpus/$$target fuzz/corpus/$$target || exit 1; \
	done

ci: test sanitize fuzz

clean:
	rm -rf $(BUILD) $(SANITIZE) $(FUZZ) build-web
