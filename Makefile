# Two builds from one tree: build/native (Linux, emulated Windows, unit tests)
# and build/win32 (MinGW-w64 i686: the DLL and the tests that run under Wine);
# build/fuzz holds the libFuzzer target (clang).
JOBS ?= $(shell nproc)
NATIVE := build/native
WIN32 := build/win32
# The Wine prefixes that the tests under Wine and `make demo` share.
WINE_PREFIXES := $(CURDIR)/build/wine
WIN32_CONFIG := -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
	-DSKERROW_WINE_DIR=$(WINE_PREFIXES)

BENCH := build/bench
FUZZ := build/fuzz
# How long `make fuzz` fuzzes, in seconds; 0 until stopped.
FUZZ_SECONDS ?= 0

.PHONY: all deps native win32 fuzz-build dll test test-native test-wine test-fuzz fuzz bench clean

all: dll

deps:
	@./scripts/install-deps

# Each tree's build takes its own -j, also when make test builds the three
# side by side (MAKEFLAGS= keeps the outer make's jobserver out of it).
native: deps
	cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=Debug
	MAKEFLAGS= cmake --build $(NATIVE) -j $(JOBS)

win32: deps
	cmake -S . -B $(WIN32) $(WIN32_CONFIG)
	MAKEFLAGS= cmake --build $(WIN32) -j $(JOBS)

# Only the DLL and its runner (build/win32/skerrow-run.exe), no test programs;
# the same bytes from every build of one commit. The last line is the DLL's
# SHA-256. With SIGN_CERT and SIGN_KEY, or SIGN_PKCS12 (SIGN_PASSWORD,
# SIGN_TIMESTAMP_URL: see scripts/sign), signed copies of both go to
# dist/signed/, which make package then takes; dist/Skerrow.dll stays the
# unsigned build.
SIGNED := dist/signed
SIGNING := $(strip $(SIGN_CERT)$(SIGN_KEY)$(SIGN_PKCS12))
dll: deps
	cmake -S . -B $(WIN32) $(WIN32_CONFIG)
	cmake --build $(WIN32) -j $(JOBS) --target skerrow_dll skerrow_run
	$(if $(SIGNING),scripts/sign $(SIGNED) dist/Skerrow.dll $(WIN32)/skerrow-run.exe)
	@sha256sum $(if $(SIGNING),$(SIGNED)/skerrow-run.exe $(SIGNED)/Skerrow.dll) \
	  $(WIN32)/skerrow-run.exe dist/Skerrow.dll

test-native: native
	cd $(NATIVE) && ctest --output-on-failure -L native

test-wine: win32
	cd $(WIN32) && ctest --output-on-failure -L wine

fuzz-build: deps
	cmake -S . -B $(FUZZ) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	  -DSKERROW_FUZZ=ON
	MAKEFLAGS= cmake --build $(FUZZ) -j $(JOBS)

# The seed and regression corpus once, then a fixed, seeded amount of fuzzing.
test-fuzz: fuzz-build
	cd $(FUZZ) && ctest --output-on-failure -L fuzz

# Fuzzes for FUZZ_SECONDS (default: until stopped); findings go to
# build/fuzz/findings/.
fuzz: fuzz-build
	scripts/fuzz $(FUZZ)/skerrow_fuzz $(FUZZ_SECONDS)

# Every test of the three builds. The trees are built side by side, each
# one's output shown whole once it is done. The 64-bit and 32-bit Wine tests
# use separate prefixes and run side by side, and the fuzz tests (one core)
# beside them, since the Wine tests wait on Wine much of the time; the fuzz
# output follows theirs. Where this machine cannot run 32-bit programs the
# Wine tests that need them are skipped, and the first line of the tests'
# output says why. Their last line counts the Wine tests that ran, passed
# and were skipped, and why.
WINE_RESULTS := $(CURDIR)/$(WIN32)/wine-results.xml
FUZZ_LOG := $(CURDIR)/$(FUZZ)/fuzz-tests.log
test: deps
	@echo "Building $(NATIVE), $(WIN32) and $(FUZZ) side by side; each one's output follows once it is built"
	@$(MAKE) --no-print-directory -j3 --output-sync=target native win32 fuzz-build
	@bash -c 'source scripts/wine-prefixes.sh && wine_skip_without_32bit' || true
	@rm -f $(WINE_RESULTS); \
	cd $(CURDIR)/$(NATIVE) && ctest --output-on-failure -L native -j $(JOBS); n=$$?; \
	rm -f $(FUZZ_LOG); (cd $(CURDIR)/$(FUZZ) && ctest --output-on-failure -L fuzz) >$(FUZZ_LOG) 2>&1 & \
	fuzz=$$!; \
	cd $(CURDIR)/$(WIN32) && ctest --output-on-failure -L wine -j $(JOBS) \
	  --output-junit $(WINE_RESULTS); w=$$?; \
	wait $$fuzz; f=$$?; cat $(FUZZ_LOG); \
	cd $(CURDIR) && scripts/wine-summary $(WINE_RESULTS); s=$$?; \
	test $$n -eq 0 && test $$w -eq 0 && test $$f -eq 0 && test $$s -eq 0

# Speed: the engine over the emulation in a Release tree of its own without
# sanitizers, and the DLL under Wine against a .reg script; one table, and
# docs/performance.png (bench/run). BENCH_MSIEXEC=1 adds msiexec with the
# sample package, without and with /l*v; BENCH_MSIEXEC_BASELINE=DLL measures
# another build of the DLL beside it.
bench: dll
	@./scripts/install-deps bench
	cmake -S . -B $(BENCH) -DCMAKE_BUILD_TYPE=Release -DSKERROW_SANITIZE=OFF -DSKERROW_BENCH=ON
	cmake --build $(BENCH) -j $(JOBS) --target skerrow_bench
	@bench/run $(BENCH)/skerrow_bench $(WIN32)/skerrow-run.exe dist/Skerrow.dll $(BENCH)

# The sample installer package around the DLL (packaging/Skerrow.wxs), the
# signed one where make dll signs.
.PHONY: package demo
package: dll
	@packaging/build-package $(if $(SIGNING),$(SIGNED)/Skerrow.dll,dist/Skerrow.dll) \
	  packaging/Skerrow.wxs dist/skerrow-sample.msi

# Installs and removes the sample package with msiexec in the shared 64-bit
# Wine prefix, which it leaves as it found it, and shows what that did to a
# sample registry (its files go to build/demo/).
demo: package
	@SKERROW_WINE_DIR=$(WINE_PREFIXES) scripts/demo

clean:
	rm -rf build dist
