# The two commands of the README work on a fresh Debian 12 machine as root:
#   make run    installs what is missing, builds, starts TRAXObench on the demo
#   make test   installs what is missing, builds, runs every test with CTest
BUILD ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60
FUZZ_BUILD ?= build-fuzz
SANITIZE_BUILD ?= build-sanitize
TSAN_BUILD ?= build-tsan
# The tests that drive the library's threads (see test-tsan).
empty :=
space := $(empty) $(empty)
TSAN_TESTS := tst_validationqueue tst_containerwriter tst_extractionqueue tst_traxofinder

PACKAGES := build-essential cmake ninja-build qt6-base-dev qt6-base-dev-tools \
	qt6-qpa-plugins zlib1g-dev hostname xvfb xauth imagemagick \
	python-is-python3 qpdf python3-prov pkg-config man-db desktop-file-utils \
	libxml2-utils shared-mime-info libqpdf-dev poppler-utils parallel

PACKAGE_BUILD ?= build-deb

.PHONY: all deps build test bench run install package clean format fuzz test-sanitize test-tsan

all: build

deps:
	@missing=""; \
	for p in $(PACKAGES); do \
		dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
		echo "Installing:$$missing"; \
		apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $$missing; \
	fi

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

test: deps build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# Every benchmark runs even when an earlier one misses its goal; the target
# fails at the end and names the ones that missed.
bench: deps build
	@missed=""; for b in $(BUILD)/bin/bench_*; do \
		[ -x "$$b" ] || continue; \
		echo "== $$(basename $$b)"; "$$b" || missed="$$missed $$(basename $$b)"; \
	done; \
	if [ -n "$$missed" ]; then echo "goals missed by:$$missed"; exit 1; fi

run: deps build
	@if [ ! -x $(BUILD)/bin/TRAXObench ]; then \
		echo "TRAXObench is not built yet: the application does not exist in this tree."; \
		exit 0; \
	fi; \
	demo=""; [ -f $(BUILD)/examples/demo.traxo ] && demo=$(BUILD)/examples/demo.traxo; \
	if [ -n "$$DISPLAY" ]; then \
		$(BUILD)/bin/TRAXObench $$demo; \
	else \
		echo "No DISPLAY: running TRAXObench for a few seconds in a virtual X server."; \
		rm -f $(BUILD)/screenshot.png; \
		xvfb-run -a -s "-screen 0 1280x900x24" sh -c \
			"$(BUILD)/bin/TRAXObench $$demo & pid=\$$!; sleep 6; \
			 if kill -0 \$$pid 2>/dev/null; then import -window root $(BUILD)/screenshot.png; kill \$$pid; \
			 else wait \$$pid; fi"; \
		if [ -f $(BUILD)/screenshot.png ]; then \
			echo "Screenshot saved to $(BUILD)/screenshot.png"; \
		else \
			echo "TRAXObench ended before the screenshot (see its message above); no screenshot taken."; \
		fi; \
	fi

# Fuzzing needs clang and its runtime; the fuzz build has its own folder, so
# the ordinary build is never touched.
fuzz: deps
	@$(MAKE) --no-print-directory deps PACKAGES="clang libclang-rt-14-dev"
	@[ -f $(FUZZ_BUILD)/build.ninja ] || CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja \
		-DCMAKE_BUILD_TYPE=RelWithDebInfo -DTRAXO_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target traxo_fuzzers
	tests/fuzz/run-fuzzers.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer: the
# first report ends the test that made it.
test-sanitize: deps
	@[ -f $(SANITIZE_BUILD)/build.ninja ] || cmake -S . -B $(SANITIZE_BUILD) -G Ninja \
		-DCMAKE_BUILD_TYPE=Debug -DTRAXO_SANITIZE=ON
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	cd $(SANITIZE_BUILD) && QT_QPA_PLATFORM=offscreen \
		ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:abort_on_error=1 \
		UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
		ctest --output-on-failure -j $(JOBS)

# The threaded code under ThreadSanitizer (validation, writing, extraction,
# the finder's look-ahead): only the tests that drive its threads are built,
# in their own folder; any report fails.
test-tsan: deps
	@[ -f $(TSAN_BUILD)/build.ninja ] || cmake -S . -B $(TSAN_BUILD) -G Ninja \
		-DCMAKE_BUILD_TYPE=RelWithDebInfo -DTRAXO_TSAN=ON
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target $(TSAN_TESTS)
	cd $(TSAN_BUILD) && QT_QPA_PLATFORM=offscreen TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:ignore_noninstrumented_modules=1 \
		ctest --output-on-failure -R '^.*/($(subst $(space),|,$(strip $(TSAN_TESTS))))$$'

install: build
	cmake --install $(BUILD)

# A Debian package of the system layout (prefix /usr), built in its own
# folder without tests; the .deb lands in $(PACKAGE_BUILD)/.
package: deps
	@$(MAKE) --no-print-directory deps PACKAGES="dpkg-dev file"
	@[ -f $(PACKAGE_BUILD)/build.ninja ] || cmake -S . -B $(PACKAGE_BUILD) -G Ninja \
		-DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DCMAKE_INSTALL_PREFIX=/usr -DTRAXO_BUILD_TESTS=OFF
	cmake --build $(PACKAGE_BUILD) -j $(JOBS)
	cd $(PACKAGE_BUILD) && cpack -G DEB
	@ls $(PACKAGE_BUILD)/traxobench_*.deb

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD)
