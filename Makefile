# make run  - installs what is missing, builds, starts the program
# make test - installs what is missing, builds, runs every test
BUILD ?= build
ASAN_BUILD ?= build-asan
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all deps build run test unit-tests asan-tests e2e package package-test bench format clean

all: build

deps:
	@bash tools/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/tovrin

# The unit tests run under AddressSanitizer and UBSan in their own build
# tree; then the end-to-end scenarios drive the installed program.
test: build asan-tests e2e package-test

asan-tests: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTOVRIN_SANITIZE=ON -DTOVRIN_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=offscreen \
	  ctest --output-on-failure -j $(JOBS)

# The real program, installed into a program folder of its own, on a private
# X server (a display number of its own) and a private session bus whose
# accessibility bus the scripts read it through (AT-SPI, Debian's python3-gi:
# hence /usr/bin/python3); screenshots of every scenario land in
# $(BUILD)/e2e-artifacts. Then a screen reader's view of it (its screenshots
# in $(BUILD)/e2e-artifacts/accessibility), and a sale is heard through a
# private PulseAudio, and clips that cut off the one sounding (the recordings
# are kept in $(BUILD)/e2e-sound). Every step waits for what it brings about,
# so two runs at once on one machine both pass.
e2e: build
	rm -rf $(BUILD)/e2e-install
	cmake --install $(BUILD) --prefix $(BUILD)/e2e-install
	/usr/bin/python3 tests/e2e/e2e.py $(BUILD)/e2e-install $(BUILD)/e2e-artifacts
	/usr/bin/python3 tests/e2e/access.py $(BUILD)/e2e-install $(BUILD)/e2e-artifacts
	/usr/bin/python3 tests/e2e/sound.py $(BUILD)/e2e-install $(BUILD)/e2e-sound --probe $(BUILD)/tests/sound_probe

# The release archive: it unpacks, and a copy of its program folder starts
# its own program through the desktop entry.
package: build
	cmake --build $(BUILD) --target package

package-test: package
	sh tests/package/starts.sh $(BUILD)

# Every benchmark: each prints its figures and fails when it did not do the
# work it names (the rows read, the report chosen, the price found).
bench: build
	for b in $(BUILD)/bench/bench_*_bench; do echo "== $$b"; $$b || exit 1; done

unit-tests: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
