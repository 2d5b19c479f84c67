# Convenience wrapper around the CMake presets.
#   make run      install what the Linux program needs, build it, and start the window from the
#                 folder that holds the built template
#   make install  build the Linux programs as make run does and install them under PREFIX
#                 (/usr/local by default)
#   make test     install what is missing, build, and run every test (Linux, then both Windows builds under Wine)
#   make windows  build the 32-bit and 64-bit Windows programs as shipped (build/win32-release/bin,
#                 build/win64-release/bin)
#   make package  the Debian packages (vextra and its debug symbols, from debian/) and a zip for each
#                 Windows build, in build/packages, with their SHA256SUMS
#   make reproducible  build the packages of the last commit twice, in two folders, and compare them
#   make sign KEY=publisher.key CERT=publisher.crt [PASS_FILE=...] [TIMESTAMP_URL=...]
#                 make package, then sign vextra.exe and vextra-cli.exe in both Windows zips
#                 (Authenticode, with osslsigncode) and write SHA256SUMS again
#   make bench    the programs' start-up, template decoding, batches of vextra-cli and sizes, each beside its floor and its goal
#   make fuzz     run each fuzz target for FUZZ_SECONDS seconds (60 by default) from its seed corpus
#   make test-asan  build the Linux program and its tests with AddressSanitizer and UBSan, and run the
#                   unit, Qt and end-to-end suites under them (the asan preset, in build/asan)
PACKAGES := build/packages
# The time stamp of everything the packages hold: the last commit's, so that two builds of one
# commit give the same bytes.
SOURCE_DATE_EPOCH ?= $(shell git log -1 --format=%ct)
export SOURCE_DATE_EPOCH

.PHONY: all build run install test test-asan deps clean windows win32-untested package reproducible bench fuzz sign

all: build

deps:
	scripts/install-deps

build: deps
	cmake --preset dev
	cmake --build --preset dev

run:
	scripts/install-deps run
	cmake --preset app
	cmake --build --preset app
	cd build/app/bin && ./vextra

# The Linux programs as make run builds them, installed under PREFIX (DESTDIR is honoured).
PREFIX ?= /usr/local
install:
	scripts/install-deps run
	cmake --preset app && cmake --build --preset app
	cmake --install build/app --prefix $(PREFIX)

# The Windows builds run the Linux template tool, built first without the rest.
WINDOWS_RELEASES := win32-release win64-release
windows:
	scripts/install-deps windows
	cmake --preset app && cmake --build --preset app --target vextra-template
	for preset in $(WINDOWS_RELEASES); do cmake --preset $$preset && cmake --build --preset $$preset || exit 1; done

# Each workflow configures, builds and tests one preset. Where the kernel cannot run 32-bit programs,
# the 32-bit Windows program and its tests are built but cannot run, and the run says so.
test: deps
	cmake --workflow --preset dev
	FUZZ_SECONDS=5 cmake --workflow --preset fuzz
	if scripts/runs-32-bit-wine; then cmake --workflow --preset win32; else $(MAKE) win32-untested; fi
	cmake --workflow --preset win64
	$(MAKE) reproducible

test-asan: deps
	cmake --workflow --preset asan

win32-untested:
	cmake --preset win32
	cmake --build --preset win32 --target vextra vextra-cli vextra_unit_tests
	@echo "make test: NOT RUN: the 32-bit Windows tests; this machine cannot run Wine's 32-bit loader"

# The zips are made from the Windows release builds, stripped; each program's debug information is
# kept beside them in $(PACKAGES)/debug. The Linux programs' is in the vextra-dbgsym package.
package: windows
	scripts/install-deps package
	rm -rf $(PACKAGES)
	packaging/build-deb $(PACKAGES)
	for preset in $(WINDOWS_RELEASES); do \
	    cpack --config build/$$preset/CPackConfig.cmake -B $(PACKAGES) && \
	    mkdir -p $(PACKAGES)/debug/$$preset && cp build/$$preset/bin/*.debug $(PACKAGES)/debug/$$preset/ || exit 1; \
	done
	rm -rf $(PACKAGES)/_CPack_Packages
	$(CHECKSUMS)
	ls -l $(PACKAGES) $(PACKAGES)/debug/*

# The packages built twice in clones of the last commit, compared byte for byte.
reproducible:
	scripts/install-deps reproducible
	packaging/check-reproducible build/reproducible

# What a user checks a download against: sha256sum -c SHA256SUMS --ignore-missing
CHECKSUMS = cd $(PACKAGES) && sha256sum *.deb *.zip > SHA256SUMS

# Asked before the builds start, not after.
ifneq ($(filter sign,$(MAKECMDGOALS)),)
ifeq ($(and $(KEY),$(CERT)),)
$(error make sign needs the publisher's key and certificate: make sign KEY=... CERT=...)
endif
endif
sign: package
	packaging/sign-windows --key "$(KEY)" --cert "$(CERT)" $(if $(PASS_FILE),--pass-file "$(PASS_FILE)") \
	    $(if $(TIMESTAMP_URL),--timestamp-url "$(TIMESTAMP_URL)") $(PACKAGES)/*.zip
	$(CHECKSUMS)

# The start-up floors and measures come with the bench preset; the Windows floor with win64-bench.
BENCH_PRESETS := app bench win32-release win64-release win64-bench
bench:
	scripts/install-deps bench
	for preset in $(BENCH_PRESETS); do cmake --preset $$preset && cmake --build --preset $$preset || exit 1; done
	python3 bench/run.py --bench-bin build/bench/bin --win64-bench-bin build/win64-bench/bin \
	    --release-exe build/win32-release/bin/vextra.exe build/win64-release/bin/vextra.exe \
	    --wine /usr/lib/wine/wine64

FUZZ_SECONDS ?= 60
fuzz:
	scripts/install-deps fuzz
	FUZZ_SECONDS=$(FUZZ_SECONDS) cmake --workflow --preset fuzz

clean:
	rm -rf build
