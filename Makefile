# make run   installs what is missing, builds and starts Corvalink
# make test  installs what is missing, builds and runs every test
# make desktop-test  the same for the tests in whole desktop shells (KDE Plasma)

.PHONY: build run test desktop-test asan-test fuzz bench install deb package-check format clean

build:
	@bash tools/install-deps.sh run
	cmake --preset default
	cmake --build --preset default

run: build
	./build/bin/corvalink

test:
	@bash tools/install-deps.sh test
	cmake --preset default
	cmake --build --preset default
	ctest --preset default -j2

desktop-test:
	@bash tools/install-deps.sh desktop
	cmake --preset default
	cmake --build --preset default
	ctest --preset desktop

asan-test:
	@bash tools/install-deps.sh test
	cmake --preset asan
	cmake --build --preset asan
	ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tools/lsan.supp \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --preset asan -j2

FUZZ_SECONDS ?= 600

# A long fuzzing run; new inputs it finds collect in build-fuzz/corpus.
fuzz:
	@bash tools/install-deps.sh fuzz
	cmake --preset fuzz
	cmake --build --preset fuzz
	mkdir -p build-fuzz/corpus
	./build-fuzz/bin/accounts_file_fuzzer -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	    build-fuzz/corpus tests/fuzz/corpus

bench:
	@bash tools/install-deps.sh test
	cmake --preset default
	cmake --build --preset default
	bash bench/run.sh

install: build
	cmake --install build

# corvalink_<version>_amd64.deb in build-deb/
deb:
	@bash tools/install-deps.sh deb
	cmake --preset deb
	cmake --build --preset deb
	cd build-deb && cpack -G DEB

# Builds the package, checks it with Debian's tools, installs it on this machine and removes it again.
package-check: deb
	bash tools/check-package.sh build-deb

format:
	@bash tools/install-deps.sh format
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build build-asan build-fuzz build-deb
