# Thin wrapper around CMake: `make`, `make demo`, `make check`.
BUILD ?= build
ASAN_BUILD ?= build-asan
MAKEFLAGS += --no-print-directory
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=

.PHONY: all vorsk demo check asan-check bench fuzz configure clean install uninstall package deps

all: vorsk

# What a target needs from Debian and this machine lacks is installed first
# (as root), or named in one apt-get command.
deps:
	@tools/install-deps.sh check

# The build includes the tests, so configuring needs what they need.
$(BUILD)/CMakeCache.txt:
	@tools/install-deps.sh check
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)

configure: $(BUILD)/CMakeCache.txt

vorsk: configure
	cmake --build $(BUILD) --target vorsk -j $(JOBS)

demo: vorsk
	@tools/demo.sh $(BUILD)/vorsk

check: deps configure
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && ctest --output-on-failure

$(ASAN_BUILD)/CMakeCache.txt:
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DVORSK_SANITIZE=ON $(CMAKE_FLAGS)

asan-check: $(ASAN_BUILD)/CMakeCache.txt
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ctest --output-on-failure

# Throughput and memory on large inputs, beside the installed peers, then
# the decoder loop alone.
BENCH_BUILD ?= build-bench

$(BENCH_BUILD)/CMakeCache.txt:
	@tools/install-deps.sh bench
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DVORSK_TESTS=OFF -DVORSK_BENCH=ON $(CMAKE_FLAGS)

bench: $(BENCH_BUILD)/CMakeCache.txt
	@tools/install-deps.sh bench
	cmake --build $(BENCH_BUILD) -j $(JOBS)
	BENCH_DIR=$(BENCH_BUILD)/inputs bench/run.sh $(BENCH_BUILD)/vorsk
	$(BENCH_BUILD)/bench/decoder_bench

# The libFuzzer targets, built with clang++, each run for FUZZ_SECONDS on one core.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 20

$(FUZZ_BUILD)/CMakeCache.txt:
	CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=Release -DVORSK_FUZZ=ON -DVORSK_TESTS=OFF $(CMAKE_FLAGS)

fuzz: $(FUZZ_BUILD)/CMakeCache.txt
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

# `make install PREFIX=/usr DESTDIR=/tmp/stage`; without PREFIX, the prefix
# the build was configured with (/usr/local unless CMAKE_FLAGS said otherwise).
install: vorsk
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) $(if $(PREFIX),--prefix "$(PREFIX)")

# Removes what the last `make install` of this build put in place, under the
# DESTDIR that it used.
uninstall:
	cmake -DBUILD_DIR=$(BUILD) -P cmake/uninstall.cmake

# The Debian package, $(BUILD)/vorsk_VERSION_ARCH.deb. Its staged install
# writes an install record too: the record of the last `make install` is
# kept aside and put back, so that `make uninstall` still removes that.
package: configure
	@tools/install-deps.sh package
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && rm -rf install-record && mkdir install-record && \
	for f in install_manifest.txt install_destdir.txt; do \
	    if [ -e $$f ]; then mv $$f install-record/; fi; \
	done && \
	{ cpack -G DEB; status=$$?; \
	  rm -f install_manifest.txt install_destdir.txt; \
	  mv install-record/* . 2>/dev/null; rmdir install-record; exit $$status; }

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
