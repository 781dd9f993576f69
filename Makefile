# The two everyday commands:
#   make demo   installs what is missing, builds, and slims examples/site
#   make test   installs what is missing, builds, and runs every test
BUILD ?= build
DEMO_OUT ?= $(BUILD)/demo-output
CMAKE_FLAGS ?=
DEMO_FLAGS ?= --all --verbose --filter "*.bak" --filter Thumbs.db

.PHONY: all bootstrap configure build demo test gui screenshots install clean

all: build

bootstrap:
	./scripts/bootstrap

configure: bootstrap
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j$$(nproc)

demo: build
	rm -rf $(DEMO_OUT)
	$(BUILD)/bin/larkspan-cli $(DEMO_FLAGS) examples/site $(DEMO_OUT)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2

gui: build
	$(BUILD)/bin/larkspan

screenshots: build
	./scripts/screenshots $(BUILD)

install: build
	cmake --install $(BUILD)

clean:
	rm -rf $(BUILD)
