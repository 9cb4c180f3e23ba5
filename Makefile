# Every target first makes sure the machine has what it needs.
.PHONY: setup build test asan tsan soak soak-exit fuzz bench demo demo-reset format clean package package-test portability bundle

# The presets name Debian's clang 16; on macOS Apple's compiler builds.
ifeq ($(shell uname -s),Darwin)
COMPILERS = -DCMAKE_C_COMPILER=/usr/bin/clang -DCMAKE_CXX_COMPILER=/usr/bin/clang++
endif

setup:
	@scripts/setup

build: setup
	@cmake --preset release $(COMPILERS) >/dev/null
	@cmake --build --preset release

test: build
	@ctest --preset release

asan: setup
	@cmake --preset asan $(COMPILERS) >/dev/null
	@cmake --build --preset asan
	@ASAN_OPTIONS=detect_leaks=0 ctest --preset asan

# The tests under ThreadSanitizer, less the long end-to-end ones (label e2e),
# the fault campaign's seeds and the delta updates' fallback cases (minutes
# each under the sanitizer; make soak, make test and make asan run them, and
# the downloader, the faulty server, the kills and the delta's threads run
# here in their own tests): its test preset leaves them out to keep CI short.
tsan: setup
	@cmake --preset tsan $(COMPILERS) >/dev/null
	@cmake --build --preset tsan
	@ctest --preset tsan

# The fault campaign over 200 seeds (tests/reliability); its summary is the last line.
# Seeds mostly wait on stalls and time-outs, so SOAK_JOBS processes share them.
SOAK_SEEDS ?= 200
SOAK_JOBS ?= 4
soak: build
	@build/bin/qh-soak --seeds $(SOAK_SEEDS) --jobs $(SOAK_JOBS)

# The launcher bundle under AddressSanitizer, started SOAK_EXIT_RUNS times and
# quit at a random moment of an install, a verify, a runtime install or a game
# run; each quit is checked and the next start must finish the job. Not in CI:
# 1,000 runs take about 35 minutes on a busy 2-core machine. Its counts are
# the last two lines, and every 50 runs on the way.
SOAK_EXIT_RUNS ?= 1000
SOAK_EXIT_JOBS ?= 2
soak-exit: setup
	@cmake --preset asan $(COMPILERS) >/dev/null
	@cmake --build --preset asan --target qh-soak-exit
	@build-asan/bin/qh-soak-exit --runs $(SOAK_EXIT_RUNS) --jobs $(SOAK_EXIT_JOBS)

# libFuzzer targets with clang 16 in build-fuzz/, each run FUZZ_SECONDS over its
# committed seeds; new inputs go to build-fuzz/corpus, crashes and inputs that
# take over 30 s to build-fuzz/. A campaign: FUZZ_SECONDS=300.
FUZZ_SECONDS ?= 60
FUZZ_TARGETS = config_wtf realm_list manifest runtime_spec launcher_cfg version_text download_response \
  signature_file block_map
FUZZ_FLAGS = -fsanitize=fuzzer-no-link,address -fno-omit-frame-pointer
fuzz: setup
	@CC=/usr/bin/clang-16 CXX=/usr/bin/clang++-16 cmake -S . -B build-fuzz -G Ninja \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQH_FUZZ=ON -DBUILD_TESTING=OFF \
	  -DCMAKE_C_FLAGS="$(FUZZ_FLAGS)" -DCMAKE_CXX_FLAGS="$(FUZZ_FLAGS)" >/dev/null
	@cmake --build build-fuzz -j2 --target $(subst _,-,$(addprefix fuzz-,$(FUZZ_TARGETS)))
	@for t in $(FUZZ_TARGETS); do \
	  mkdir -p build-fuzz/corpus/$$t && \
	  build-fuzz/bin/fuzz-$$(echo $$t | tr _ -) build-fuzz/corpus/$$t fuzz/$$t/corpus \
	    -max_total_time=$(FUZZ_SECONDS) -timeout=30 -artifact_prefix=build-fuzz/$$t- -print_final_stats=1 \
	    || exit 1; \
	done

bench: build
	@scripts/bench

# The Linux package, build/package/*.deb, with its desktop entry and metainfo
# validated; package-test installs it here with apt (root), runs it and removes it.
package: build
	@scripts/package

package-test: package
	@scripts/package-install-test

demo: build
	@scripts/demo

demo-reset:
	@scripts/demo --reset

# Whether the sources still build for macOS, checked on Linux: Linux-only
# calls outside Linux-only code, the Objective-C++ files against GNUstep, and
# every other product source compiled for macOS by Zig and against libc++ 16.
# Needs only a configured build folder.
portability: setup
	@cmake --preset release $(COMPILERS) >/dev/null
	@scripts/portability/run

# The release bundle, build/Quellhaven Launcher.app; on macOS made
# self-contained (Qt inside) and signed ad hoc.
bundle: build
	@cmake --build --preset release --target qh_release_bundle

format:
	@git ls-files '*.cpp' '*.h' '*.mm' | xargs clang-format -i

clean:
	rm -rf build build-asan build-tsan build-fuzz
