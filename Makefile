# The README's commands. `make run` and `make test` first install what is missing.
BUILD      := build
JOBS       ?= 2
WIN64      := $(BUILD)/win64
WIN32      := $(BUILD)/win32
HOST       := $(BUILD)/host
WINE_RUN   := $(WIN64)/wine-run.sh
RUN_OUT    := $(BUILD)/run

.PHONY: all setup configure build build64 build32 buildhost test run bench sheet screenshots dist dist-check clean

all: build

setup:
	@bash tools/setup.sh

$(WIN64)/CMakeCache.txt:
	cmake -S . -B $(WIN64) -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-win64.cmake -DCMAKE_BUILD_TYPE=Release

$(WIN32)/CMakeCache.txt:
	cmake -S . -B $(WIN32) -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-win32.cmake -DCMAKE_BUILD_TYPE=Release -DQIR_TESTS=OFF

# The native Linux build: the tools that run on Linux (the archive checker) and their tests.
$(HOST)/CMakeCache.txt:
	cmake -S . -B $(HOST) -DCMAKE_BUILD_TYPE=Release

build64: $(WIN64)/CMakeCache.txt
	cmake --build $(WIN64) -j $(JOBS)

build32: $(WIN32)/CMakeCache.txt
	cmake --build $(WIN32) -j $(JOBS)

buildhost: $(HOST)/CMakeCache.txt
	cmake --build $(HOST) -j $(JOBS)

build: build64 build32 buildhost

# The host build's tests natively, then every test of the win64 build under Wine (one
# wineserver stays alive for that run).
test: setup build
	cd $(HOST) && ctest --output-on-failure -j $(JOBS) --timeout 600
	@bash tests/run-tests.sh $(WIN64)

# The collector on the bundled sample script, then the archive's listing and the log.
run: setup build64
	@bash tools/run-sample.sh $(WIN64) $(RUN_OUT)

bench: setup build64 buildhost
	@bash tests/bench/archive-bench.sh $(WIN64)
	@bash tests/bench/verify-bench.sh $(WIN64) $(HOST)
	@bash tests/bench/line-bench.sh $(WIN64)
	@bash tests/bench/file-bench.sh $(WIN64)
	@python3 tests/bench/startup-bench.py $(WIN64)
	@python3 tests/bench/sheet-items-bench.py $(WIN64)

# The configurator's sheet on a sample task, on the X display in DISPLAY.
sheet: setup build64
	@python3 tools/sample_task.py $(WIN64)

# The README's pictures (the configurator in English and German, the collector's
# progress window), taken under a private Xvfb display.
screenshots: setup build64
	@python3 tools/screenshots.py $(WIN64)

# The release kits in dist/ from optimised, reproducible trees (build/dist-*).
dist: setup
	@JOBS=$(JOBS) bash tools/dist.sh

# make dist twice, in two fresh clones of this commit at different paths: the
# SHA256SUMS must be the same.
dist-check: setup
	@JOBS=$(JOBS) bash tests/dist/dist-check.sh

clean:
	rm -rf $(BUILD) dist
