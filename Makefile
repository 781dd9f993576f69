# The two everyday commands:
#   make demo     installs what building and running larkspan-cli needs (no Qt,
#                 no Java, no test tools), builds larkspan-cli and its helper
#                 programs only, and slims examples/site
#   make test     installs what is missing, builds everything, runs every test
#   make package  builds everything and the Debian packages, in $(BUILD)/package/
# scripts/bootstrap names the packages of each; cmake/LarkspanParts.cmake the
# optional parts of the build (the window, the archive compressor, the tests).
BUILD ?= build
DEMO_OUT ?= $(BUILD)/demo-output
CMAKE_FLAGS ?=
DEMO_FLAGS ?= --all --verbose --filter "*.bak" --filter Thumbs.db

.PHONY: all bootstrap configure build demo test package gui screenshots install clean

all: build

# Every part of the build, required: a missing package stops the configuration.
ALL_PARTS = -DLARKSPAN_BUILD_UI=ON -DLARKSPAN_BUILD_ARCHIVE=ON -DLARKSPAN_BUILD_TESTS=ON

bootstrap:
	./scripts/bootstrap test

configure: bootstrap
	cmake -S . -B $(BUILD) -G Ninja $(ALL_PARTS) $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j$$(nproc)

# The command-line program and what it starts (larkspan_helpers: see
# cmake/LarkspanHelpers.cmake); not the window, not the tests. The optional
# parts keep what the build folder says (AUTO in a new one).
demo:
	./scripts/bootstrap demo
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j$$(nproc) --target larkspan-cli larkspan_helpers
	rm -rf $(DEMO_OUT)
	$(BUILD)/bin/larkspan-cli $(DEMO_FLAGS) examples/site $(DEMO_OUT)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --no-tests=error -j2

package: build
	cd $(BUILD) && cpack -G DEB

gui: build
	$(BUILD)/bin/larkspan

screenshots: build
	./scripts/screenshots $(BUILD)

install: build
	cmake --install $(BUILD)

clean:
	rm -rf $(BUILD)
