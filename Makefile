# The two commands of the README, and the pieces they are made of.
#   make demo   set up, build both presets, run the real installer under Wine
#   make test   set up, build both presets, run the host tests and the Windows tests
#   make release  the installer of make demo's build and the Windows Installer package around
#               it, signed when SIGN_CERT and SIGN_KEY are given, with their SHA-256 and the
#               winget manifest, in release/; with UPDATE_FROM="<earlier release folders>" also
#               an update installer from each of those versions
SHELL := /bin/bash
WINE_ROOT := build/win64/wine
# Named after the version, which only the top CMakeLists.txt writes.
INSTALLER := $(shell . scripts/lib/wine.sh && vlpdf_installer build/win64)

.PHONY: demo test setup build build-host build-win64 wine-prefix test-host test-win64 clean \
	fuzz fuzz-build bench bench-patch screenshots release window soak

demo: build wine-prefix
	@scripts/demo.sh $(WINE_ROOT)

test: build fuzz-build wine-prefix
	@scripts/run-tests.sh $(WINE_ROOT)

setup:
	@scripts/setup.sh

build: build-host build-win64

# Configure only once: Ninja re-runs CMake by itself when a CMakeLists.txt changes.
# The two builds run one after the other, never at the same time.
build-host: setup
	@[ -f build/host/build.ninja ] || cmake --preset host >/dev/null
	@cmake --build --preset host

build-win64: setup build-host
	@[ -f build/win64/build.ninja ] || cmake --preset win64 >/dev/null
	@cmake --build --preset win64

wine-prefix: setup
	@scripts/wine-prefix $(WINE_ROOT)

test-host: build-host
	@ctest --preset host

test-win64: build-win64 wine-prefix
	@scripts/with-wineserver $(WINE_ROOT) ctest --preset win64

# The fuzz targets (archive reader, command line, translations) under libFuzzer: a clang build
# of its own with coverage, AddressSanitizer and UBSan. `make test` runs each for a few
# seconds, `make fuzz` for FUZZ_SECONDS each.
FUZZ_SECONDS ?= 300
fuzz-build: setup
	@[ -f build/fuzz/build.ninja ] || cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link \
		-DVLPDF_SANITIZE=ON -DVLPDF_FUZZ=ON >/dev/null
	@cmake --build build/fuzz --target archive_fuzz archive_fuzz_seeds flags_fuzz translations_fuzz feed_fuzz

fuzz: fuzz-build
	@fuzz/run.sh build/fuzz $(FUZZ_SECONDS)

# Decoding and packing speed on Wine's own DLLs; an optimised build without sanitizers.
# Then -x and -s of the installer with those DLLs as its archive against NSIS, under Wine.
bench: setup build-win64 wine-prefix
	@[ -f build/bench/build.ninja ] || cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build build/bench --target archive_bench mkpak
	@bench/run.sh build/bench build/win64

# The candidates for patches between versions, on real programs' releases from the npm
# registry (fetched into build/bench, never committed).
bench-patch: setup
	@[ -f build/bench/build.ninja ] || cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build build/bench --target patch_candidates mkpak
	@bench/patch_bench.sh build/bench

# The installer killed at SOAK_KILLS random instants of a first installation, as many of an
# upgrade over a running installation and as many of an update installer's run, each run again
# and compared with an uninterrupted run (about 7 minutes). SOAK_SEED replays a run; each run prints the seed it used.
SOAK_KILLS ?= 24
SOAK_SEED ?= $(shell date +%s)
soak: build wine-prefix
	@VLPDF_RANDOM_KILLS=$(SOAK_KILLS) VLPDF_KILL_SEED=$(SOAK_SEED) VLPDF_KILL_POINTS='^$$' \
		bash tests/e2e/silent_kill_points_test.sh scripts $(WINE_ROOT) $(WINE_ROOT)/suites/soak \
		$(INSTALLER) build/host/tools/mkpak/mkpak \
		build/win64/tests/e2e/step_killer.exe
	@VLPDF_RANDOM_KILLS=$(SOAK_KILLS) VLPDF_KILL_SEED=$(SOAK_SEED) VLPDF_KILL_POINTS='^$$' \
		bash tests/e2e/update_killed_test.sh scripts $(WINE_ROOT) $(WINE_ROOT)/suites/soak-update \
		$(INSTALLER) build/host/tools/mkpak/mkpak \
		build/win64/tests/e2e/step_killer.exe $(CURDIR) build/win64/next-version

# The real installer window under Wine: on $DISPLAY, or pictured on a virtual display.
window: build wine-prefix
	@scripts/window.sh $(WINE_ROOT)

# Pictures under build/screenshots/: the toolkit's gallery window (also made by make test)
# and every page of the real installer window, in English, Chinese and Arabic at 100, 150
# and 200 % (about four minutes).
screenshots: build-win64 wine-prefix
	@cmake --build --preset win64 --target ui_gallery installer_driver
	@scripts/screenshots.sh $(WINE_ROOT) build/win64/tests/win/ui/ui_gallery.exe product/translations.txt build/screenshots
	@scripts/installer-screenshots.sh $(WINE_ROOT) $(INSTALLER) \
		build/win64/tests/e2e/installer_driver.exe build/screenshots

# Only the installer and what it needs, in the same build folder as make demo's: the same bytes.
# Given on make's command line or in the environment, they reach scripts/release.sh.
export SIGN_CERT SIGN_KEY SIGN_PASS SIGN_CA SIGN_TIMESTAMP_URL RELEASE_URL
release: build-host
	@[ -f build/win64/build.ninja ] || cmake --preset win64 >/dev/null
	@cmake --build --preset win64 --target installer_exe
	@UPDATE_FROM="$(UPDATE_FROM)" scripts/release.sh build/win64 release

clean:
	rm -rf build
