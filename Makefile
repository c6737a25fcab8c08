# Two builds from one tree: build/native (Linux, emulated Windows, unit tests)
# and build/win32 (MinGW-w64 i686: the DLL and the tests that run under Wine).
JOBS ?= $(shell nproc)
NATIVE := build/native
WIN32 := build/win32
# The Wine prefixes that the tests under Wine and `make demo` share.
WINE_PREFIXES := $(CURDIR)/build/wine
WIN32_CONFIG := -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
	-DSKERROW_WINE_DIR=$(WINE_PREFIXES)

BENCH := build/bench

.PHONY: all deps native win32 dll test test-native test-wine bench clean

all: dll

deps:
	@./scripts/install-deps

native: deps
	cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=Debug
	cmake --build $(NATIVE) -j $(JOBS)

win32: deps
	cmake -S . -B $(WIN32) $(WIN32_CONFIG)
	cmake --build $(WIN32) -j $(JOBS)

# Only the DLL and its runner (build/win32/skerrow-run.exe), no test programs.
dll: deps
	cmake -S . -B $(WIN32) $(WIN32_CONFIG)
	cmake --build $(WIN32) -j $(JOBS) --target skerrow_dll skerrow_run
	@test -f dist/Skerrow.dll && echo "dist/Skerrow.dll"

test-native: native
	cd $(NATIVE) && ctest --output-on-failure -L native

test-wine: win32
	cd $(WIN32) && ctest --output-on-failure -L wine

# Every test of both builds; ctest's summary closes the output.
test: native win32
	@cd $(NATIVE) && ctest --output-on-failure -L native -j $(JOBS); n=$$?; \
	cd ../../$(WIN32) && ctest --output-on-failure -L wine; w=$$?; \
	test $$n -eq 0 && test $$w -eq 0

# Speed: the engine over the emulation in a Release tree of its own without
# sanitizers, and the DLL under Wine against a .reg script; one table, and
# docs/performance.png (bench/run).
bench: dll
	@./scripts/install-deps bench
	cmake -S . -B $(BENCH) -DCMAKE_BUILD_TYPE=Release -DSKERROW_SANITIZE=OFF -DSKERROW_BENCH=ON
	cmake --build $(BENCH) -j $(JOBS) --target skerrow_bench
	@bench/run $(BENCH)/skerrow_bench $(WIN32)/skerrow-run.exe dist/Skerrow.dll $(BENCH)

# The sample installer package around the DLL (packaging/Skerrow.wxs).
.PHONY: package demo
package: dll
	@packaging/build-package dist/Skerrow.dll packaging/Skerrow.wxs dist/skerrow-sample.msi

# Installs and removes the sample package with msiexec in the shared 64-bit
# Wine prefix, which it leaves as it found it, and shows what that did to a
# sample registry (its files go to build/demo/).
demo: package
	@SKERROW_WINE_DIR=$(WINE_PREFIXES) scripts/demo

clean:
	rm -rf build dist
