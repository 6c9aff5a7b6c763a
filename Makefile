# Thin wrapper around CMake: `make`, `make demo`, `make check`.
BUILD ?= build
ASAN_BUILD ?= build-asan
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=

.PHONY: all vorsk demo check asan-check configure clean

all: vorsk

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)

configure: $(BUILD)/CMakeCache.txt

vorsk: configure
	cmake --build $(BUILD) --target vorsk -j $(JOBS)

demo: vorsk
	./$(BUILD)/vorsk --color=auto -t examples/bash-readline.timing examples/bash-readline.typescript

check: configure
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && ctest --output-on-failure

$(ASAN_BUILD)/CMakeCache.txt:
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DVORSK_SANITIZE=ON $(CMAKE_FLAGS)

asan-check: $(ASAN_BUILD)/CMakeCache.txt
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ctest --output-on-failure

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
