# make run   installs what is missing, builds and starts Corvalink
# make test  installs what is missing, builds and runs every test

.PHONY: deps build run test asan-test fuzz bench install clean

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

FUZZ_SECONDS ?= 600

# A long fuzzing run; new inputs it finds collect in build-fuzz/corpus.
fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz
	mkdir -p build-fuzz/corpus
	./build-fuzz/bin/accounts_file_fuzzer -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	    build-fuzz/corpus tests/fuzz/corpus

bench: build
	bash bench/run.sh

install: build
	cmake --install build

clean:
	rm -rf build build-asan build-fuzz
