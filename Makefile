# Entry points: `make demo` and `make test` set everything up first.
JOBS ?= $(shell nproc)
BUILD ?= build
ASAN_BUILD ?= build-asan
DEMO_DIR ?= swivio-demo
CMAKE_ARGS ?=

.PHONY: deps build demo test sanitize fuzz-build clean run install screenshots

deps:
	./scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS)
	cmake --build $(BUILD) -j $(JOBS)

# Converts the bundled demo movie to an AVI file, an MPEG file and an animated GIF.
demo: build
	mkdir -p $(DEMO_DIR)
	cp $(BUILD)/demo.swf $(DEMO_DIR)/demo.swf
	$(BUILD)/cli/swivio-cli info $(DEMO_DIR)/demo.swf
	$(BUILD)/cli/swivio-cli convert $(DEMO_DIR)/demo.swf --type avi --codec MJPG -o $(DEMO_DIR)/demo.avi -y
	$(BUILD)/cli/swivio-cli convert $(DEMO_DIR)/demo.swf --type mpeg --mpeg-type dvd-ntsc -o $(DEMO_DIR)/demo.mpg -y
	$(BUILD)/cli/swivio-cli convert $(DEMO_DIR)/demo.swf --type images --image-type animated-gif -o $(DEMO_DIR) -y
	@echo "Wrote:"; ls -l $(DEMO_DIR)

# Starts the desktop program on the demo movie.
run: build
	$(BUILD)/app/swivio $(BUILD)/demo.swf

# Installs the program, its desktop entry, icon and help pages under PREFIX.
PREFIX ?= /usr/local
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# Pictures of every window, under Xvfb, into docs/screenshots/.
screenshots: build
	./scripts/screenshots.sh $(BUILD) docs/screenshots

test: build
	ctest --test-dir $(BUILD) -j $(JOBS) --output-on-failure

# Tests under AddressSanitizer and UndefinedBehaviorSanitizer, built with clang, which also
# builds the libFuzzer targets.
sanitize: deps
	CC=clang CXX=clang++ cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug \
		-DSWIVIO_SANITIZE=ON -DSWIVIO_FUZZ=ON -DSWIVIO_BENCH=OFF $(CMAKE_ARGS)
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
		ctest --test-dir $(ASAN_BUILD) -j $(JOBS) --output-on-failure

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
