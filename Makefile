# The project's entry points. `make run` and `make test` do all the set-up on a
# fresh Debian 12 machine (they install the dependencies first).
PRESET ?= default
JOBS ?= $(shell nproc)

.PHONY: setup build run test test-default test-asan test-tsan bench fuzz package clean

setup:
	@bash scripts/setup.sh

build: setup
	cmake --preset $(PRESET)
	cmake --build --preset $(PRESET) -j $(JOBS)

run: build
	@bash scripts/run.sh build/$(PRESET)

test: setup
	@bash scripts/test.sh

bench: setup
	cmake --preset default
	cmake --build --preset default -j $(JOBS)
	@bash scripts/bench.sh build/default

# Builds the Debian package build/$(PRESET)/pellora_<version>-1_<arch>.deb
# (install it with: sudo apt install ./build/$(PRESET)/pellora_*.deb).
package: build
	cmake --build --preset $(PRESET) --target package

# Runs each libFuzzer target for FUZZ_SECONDS seconds (default 60).
FUZZ_SECONDS ?= 60
fuzz: setup
	@bash scripts/fuzz.sh $(FUZZ_SECONDS)

clean:
	rm -rf build
