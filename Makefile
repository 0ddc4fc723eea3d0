# The two everyday commands:
#   make run   set up, build, and render the bundled demo blog into build/public
#   make test  set up, build, and run every test
# and, for installing it:
#   make package  a Debian package (build/tarn_VERSION_ARCH.deb)
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all setup build run test package clean bench

all: build

setup:
	@scripts/setup.sh

build: setup
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/tarn build
	@echo "Open $(abspath $(BUILD))/public/index.html in a browser."

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

package: build
	cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD)
