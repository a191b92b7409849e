# Front door. `make test` sets everything up on a fresh Debian 12 machine and runs every test.
BUILD   ?= build
NATIVE  := $(BUILD)/native
WIN     := $(BUILD)/win
FUZZ    := $(BUILD)/fuzz
BENCH   := $(BUILD)/bench
FUZZ_SECONDS ?= 120
CMAKE_FLAGS ?=
export WINEPREFIX := $(abspath $(WIN))/wineprefix

.PHONY: all deps native win fuzz-build test test-native test-win fuzz-smoke fuzz bench bench-win bench-rules run format clean

all: native win

deps:
	@tools/install-deps.sh test

native: deps
	cmake -S . -B $(NATIVE) -G Ninja -DMOIRELLE_SANITIZE=ON $(CMAKE_FLAGS)
	cmake --build $(NATIVE)

win: deps
	cmake -S . -B $(WIN) -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake $(CMAKE_FLAGS)
	cmake --build $(WIN)

fuzz-build: deps
	cmake -S . -B $(FUZZ) -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
		-DMOIRELLE_FUZZ=ON -DMOIRELLE_TESTS=OFF $(CMAKE_FLAGS)
	cmake --build $(FUZZ)

test-native: native
	cd $(NATIVE) && ctest --output-on-failure

test-win: win
	tools/wine-run.sh --session ctest --test-dir $(WIN) --output-on-failure

fuzz-smoke: fuzz-build
	tools/fuzz.sh $(FUZZ) smoke

# Every fuzz target for FUZZ_SECONDS each.
fuzz: fuzz-build
	tools/fuzz.sh $(FUZZ) $(FUZZ_SECONDS)

bench:
	@tools/install-deps.sh bench
	cmake -S . -B $(BENCH) -G Ninja -DCMAKE_BUILD_TYPE=Release -DMOIRELLE_BENCH=ON \
		-DMOIRELLE_TESTS=OFF $(CMAKE_FLAGS)
	cmake --build $(BENCH)
	$(BENCH)/bin/moirelle_bench $(BENCH_ARGS)

# The image control's paint against a plain AlphaBlend, under Wine (not part of `make test`).
bench-win: deps
	cmake -S . -B $(WIN) -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake $(CMAKE_FLAGS)
	cmake --build $(WIN) --target controldemo
	tools/wine-run.sh --session sh -c 'wine $(WIN)/bin/controldemo.exe --bench "$$(winepath -w $(WIN)/paint-bench.txt)"'
	@cat $(WIN)/paint-bench.txt

# What following the desktop's states costs the application under Wine: idle CPU with the
# rules off and on, and growth over RULES_MINUTES (default 10) of a window maximised and
# restored every second (not part of `make test`).
RULES_MINUTES ?= 10
bench-rules: deps
	cmake -S . -B $(WIN) -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake $(CMAKE_FLAGS)
	cmake --build $(WIN) --target Moirelle_Portable rulescost
	tools/rules-bench.sh $(WIN) $(RULES_MINUTES)

# Every tree runs even when an earlier one fails; the exit status reports any failure.
test: native win fuzz-build
	@rc=0; \
	tools/fuzz.sh $(FUZZ) smoke || rc=1; \
	( cd $(NATIVE) && ctest --output-on-failure ) || rc=1; \
	tools/wine-run.sh --session ctest --test-dir $(WIN) --output-on-failure || rc=1; \
	exit $$rc

# The application in the Wine shell desktop (see tools/run-app.sh): only the program and the
# helper that drives it and takes the screenshot are built.
run: deps
	cmake -S . -B $(WIN) -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake $(CMAKE_FLAGS)
	cmake --build $(WIN) --target Moirelle_Portable shellprobe
	@tools/run-app.sh $(WIN)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD)
