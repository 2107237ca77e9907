# make run   installs what is missing, builds and starts Corvalink
# make test  installs what is missing, builds and runs every test

.PHONY: deps build run test asan-test fuzz fuzz-long bench install clean

deps:
	@bash tools/install-deps.sh

build: deps
	cmake --preset default
	cmake --build --preset default

run: build
	./build/bin/corvalink

test: build
	ctest --preset default -j2

asan-test: deps
	cmake --preset asan
	cmake --build --preset asan
	ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tools/lsan.supp \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --preset asan -j2

bench: build
	bash bench/run.sh

install: build
	cmake --install build

clean:
	rm -rf build build-asan build-fuzz
