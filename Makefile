# The entry points of the README: `make demo`, `make wizard-demo` and `make test`. Each installs what
# is missing first.
BUILD  ?= build
ASAN   ?= build-asan
JOBS   ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: deps build test demo wizard-demo sanitize-test clean

deps:
	@bash tools/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

sanitize-test: deps
	cmake -S . -B $(ASAN) -DCMAKE_BUILD_TYPE=Debug -DTULMEVARA_SANITIZE=ON -DTULMEVARA_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(ASAN) -j $(JOBS)
	ctest --test-dir $(ASAN) --output-on-failure -j $(JOBS) -LE 'nosanitize|onscreen'

demo: build
	@bash tools/demo.sh $(BUILD)

# Opens ZeqConfig on the display over a demo installation, then runs the updater on it.
wizard-demo: build
	@bash tools/wizard-demo.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN)
