# Front door. `make test` sets everything up on a fresh Debian 12 machine and runs every test.
BUILD   ?= build
NATIVE  := $(BUILD)/native
WIN     := $(BUILD)/win
CMAKE_FLAGS ?=
export WINEPREFIX := $(abspath $(WIN))/wineprefix

.PHONY: all deps native win test test-native test-win run format clean

all: native win

deps:
	@tools/install-deps.sh test

native: deps
	cmake -S . -B $(NATIVE) -G Ninja -DMOIRELLE_SANITIZE=ON $(CMAKE_FLAGS)
	cmake --build $(NATIVE)

win: deps
	cmake -S . -B $(WIN) -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake $(CMAKE_FLAGS)
	cmake --build $(WIN)

test-native: native
	cd $(NATIVE) && ctest --output-on-failure

test-win: win
	tools/wine-run.sh --session ctest --test-dir $(WIN) --output-on-failure

# Both trees run even when the first fails; the exit status reports either failure.
test: native win
	@rc=0; \
	( cd $(NATIVE) && ctest --output-on-failure ) || rc=1; \
	tools/wine-run.sh --session ctest --test-dir $(WIN) --output-on-failure || rc=1; \
	exit $$rc

run: win
	@echo "No runnable program yet: the image library is being built first."

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD)
