# The README's commands. `make run` and `make test` first install what is missing.
BUILD      := build
JOBS       ?= 2
WIN64      := $(BUILD)/win64
WIN32      := $(BUILD)/win32
WINE_RUN   := $(WIN64)/wine-run.sh
RUN_OUT    := $(BUILD)/run

.PHONY: all setup configure build build64 build32 test run bench clean

all: build

setup:
	@bash tools/setup.sh

$(WIN64)/CMakeCache.txt:
	cmake -S . -B $(WIN64) -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-win64.cmake -DCMAKE_BUILD_TYPE=Release

$(WIN32)/CMakeCache.txt:
	cmake -S . -B $(WIN32) -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-win32.cmake -DCMAKE_BUILD_TYPE=Release -DQIR_TESTS=OFF

build64: $(WIN64)/CMakeCache.txt
	cmake --build $(WIN64) -j $(JOBS)

build32: $(WIN32)/CMakeCache.txt
	cmake --build $(WIN32) -j $(JOBS)

build: build64 build32

# Every test of the win64 build under Wine; one wineserver stays alive for the run.
test: setup build
	@bash tests/run-tests.sh $(WIN64)

# The collector on the bundled sample script, then the archive's listing and the log.
run: setup build64
	@bash tools/run-sample.sh $(WIN64) $(RUN_OUT)

bench: setup build64
	@bash tests/bench/archive-bench.sh $(WIN64)
	@bash tests/bench/file-bench.sh $(WIN64)

clean:
	rm -rf $(BUILD)
