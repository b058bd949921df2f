# Front door: each target installs what is missing, builds and runs.
.PHONY: all deps test test-release test-asan test-tsan fuzz bench demo install clean

# Where `make install` puts the library: make install PREFIX=$HOME/.local
PREFIX ?= /usr/local

# The optimised libraries, in build/release.
all: deps
	@bash scripts/build.sh build

# Builds, then installs headers, libraries, the CMake package and the pkg-config file.
install: deps
	@bash scripts/build.sh install "$(PREFIX)"

deps:
	@bash scripts/deps.sh

# The whole suite: an optimised build, an AddressSanitizer + UndefinedBehaviorSanitizer
# build, the threaded tests under ThreadSanitizer, and a short run of each fuzzer.
test: deps
	@bash scripts/test.sh all

test-release: deps
	@bash scripts/test.sh release

test-asan: deps
	@bash scripts/test.sh asan

test-tsan: deps
	@bash scripts/test.sh tsan

fuzz: deps
	@bash scripts/fuzz.sh long

bench: deps
	@bash scripts/bench.sh

demo: deps
	@bash scripts/demo.sh

clean:
	rm -rf build
