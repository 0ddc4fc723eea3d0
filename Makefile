# The two everyday commands:
#   make run   set up, build tarn, and render the bundled demo blog into build/public
#   make test  set up, build tarn and its tests, and run every test
# make test-unit runs the unit tests alone (no tarn runs, no windows, no browser).
# make package makes a Debian package (build/tarn_VERSION_ARCH.deb).
BUILD ?= build
JOBS ?= $(shell nproc)
# ccache, where installed, makes rebuilds after a branch switch cheap.
LAUNCHER := $(if $(shell command -v ccache),-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
CONFIGURE = cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(LAUNCHER)

.PHONY: all setup setup-test build build-test run test test-unit package clean

all: build

setup:
	@scripts/setup.sh run

setup-test:
	@scripts/setup.sh test

# Only what running needs: tarn and the workspace beside it.
build: setup
	$(CONFIGURE) -DTARN_TESTS=OFF >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

build-test: setup-test
	$(CONFIGURE) -DTARN_TESTS=ON >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/tarn build
	@echo "Open $(abspath $(BUILD))/public/index.html in a browser."

test: build-test
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-unit: build-test
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) -L unit

# The Debian package of what `cmake --install` installs.
package: build
	cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD)
