# Every target first makes sure the machine has what it needs.
.PHONY: setup build test asan tsan bench demo format clean

setup:
	@scripts/setup

build: setup
	@cmake --preset release >/dev/null
	@cmake --build --preset release

test: build
	@ctest --preset release

asan: setup
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan
	@ASAN_OPTIONS=detect_leaks=0 ctest --preset asan

tsan: setup
	@cmake --preset tsan >/dev/null
	@cmake --build --preset tsan
	@ctest --preset tsan

bench: build
	@scripts/bench

demo: build
	@scripts/demo

format:
	@git ls-files '*.cpp' '*.h' '*.mm' | xargs clang-format -i

clean:
	rm -rf build build-asan build-tsan
