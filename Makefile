# The two commands a fresh machine needs are `make run` and `make test`.
BUILD      ?= build
SAN_BUILD  ?= build-sanitize
FUZZ_BUILD ?= build-fuzz
BENCH_BUILD ?= build-bench
JOBS       ?= $(shell nproc)
CMAKE_GEN  := -G Ninja $(if $(shell command -v ccache),-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
# Compiler cache shared by every checkout of the project on this machine.
export CCACHE_BASEDIR := $(abspath $(CURDIR)/..)
export CCACHE_NOHASHDIR := 1
export CCACHE_MAXSIZE := 20G
SAMPLE     := $(BUILD)/sample-device

.PHONY: all bootstrap configure build run test test-unit test-sanitize fuzz fuzz-regression bench gui gallery screenshots package install clean format format-check

all: build

bootstrap:
	@scripts/bootstrap

configure: bootstrap
	@cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# Builds, makes a fresh sample device root and runs the main job on it, then a
# cloud round trip against a mobrix-cloud started (and stopped) on the loopback.
run: build
	@scripts/run-sample $(BUILD)/src/cli/mobrix $(SAMPLE) $(BUILD)/src/server/mobrix-cloud

# Every test: the normal build, then the same tests under ASan and UBSan, then
# the fuzz targets over their corpora.
test: test-unit test-sanitize fuzz-regression

test-unit: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 600 --repeat until-pass:2

test-sanitize: bootstrap
	@cmake -S . -B $(SAN_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DMOBRIX_SANITIZE=ON >/dev/null
	@cmake --build $(SAN_BUILD) -j $(JOBS)
	@cd $(SAN_BUILD) && ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS) --timeout 900 --repeat until-pass:2 -LE no-sanitize

fuzz-build: bootstrap
	@CXX=clang++ cmake -S . -B $(FUZZ_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMOBRIX_FUZZ=ON >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS)

# The corpora as regression tests (every input once).
fuzz-regression: fuzz-build
	@scripts/fuzz-all $(FUZZ_BUILD) 0

# Every fuzz target for a bounded time (seconds each, FUZZ_SECONDS).
FUZZ_SECONDS ?= 60
fuzz: fuzz-build
	@scripts/fuzz-all $(FUZZ_BUILD) $(FUZZ_SECONDS)

bench: bootstrap
	@cmake -S . -B $(BENCH_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DMOBRIX_BENCH=ON -DMOBRIX_TESTS=OFF >/dev/null
	@cmake --build $(BENCH_BUILD) -j $(JOBS)
	@scripts/bench-all $(BENCH_BUILD)

gui: build
	@scripts/sample-device $(SAMPLE) >/dev/null
	@$(BUILD)/src/gui/RootMobrix --root $(SAMPLE)

# Pictures for a person to look at, not tests: the overlay in every mode, and
# every screen of the window.
gallery: build
	@$(BUILD)/tools/gallery/hud_gallery && echo "images in $(BUILD)/hud-gallery"

screenshots: build
	@$(BUILD)/tools/screenshots/gui_screenshots --gtest_brief=1 && echo "images in $(BUILD)/screenshots"

package: build
	@cd $(BUILD) && cpack -G DEB

install: build
	@cmake --install $(BUILD)

# Every C++ file in the house style of .clang-format.
format-check: bootstrap
	@git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

format: bootstrap
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf $(BUILD) $(SAN_BUILD) $(FUZZ_BUILD) $(BENCH_BUILD)
