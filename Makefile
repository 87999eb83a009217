# Front door: `make run` builds and starts the program, `make test` builds
# and runs every test. Build chatter goes to standard error so that piped
# runs show only the program's own output.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: run release install package package-test bench test sanitize coverage fuzz lint windows windows-test clean

run: release
	@./build/release/quorvast

release:
	@cmake --preset release >&2
	@cmake --build --preset release --parallel $(JOBS) >&2

# Installs under PREFIX: bin/, share/man/man1/, share/doc/quorvast/.
PREFIX ?= /usr/local
install: release
	cmake --install build/release --prefix "$(PREFIX)"

# The Debian package: dist/quorvast_<version>_amd64.deb
package: release
	cd build/release && cpack >&2
	mkdir -p dist && cp build/release/package/quorvast_*.deb dist/

# The install layout, man page and Debian package, installed and removed
# again system-wide (run as root).
package-test:
	bash tests/package_checks.sh

# Instructions, wall time, memory and system calls against a floor program.
bench:
	bench/run

test:
	cmake --preset dev
	cmake --build --preset dev --parallel $(JOBS)
	ctest --preset dev --parallel $(JOBS)

sanitize:
	cmake --preset sanitize
	cmake --build --preset sanitize --parallel $(JOBS)
	ctest --preset sanitize --parallel $(JOBS)

# Line and branch coverage of src/ by every test (gcov, gcovr).
GCOVR = gcovr --root . --filter 'src/' --exclude-throw-branches --exclude-unreachable-branches
coverage:
	cmake --preset coverage
	cmake --build --preset coverage --parallel $(JOBS)
	find build/coverage -name '*.gcda' -delete
	ctest --preset coverage --parallel $(JOBS)
	$(GCOVR) --branches build/coverage | grep -v '100%' || true
	$(GCOVR) --print-summary --fail-under-line 100 --fail-under-branch 95 --output /dev/null build/coverage

# Each libFuzzer target for FUZZ_SECONDS, from the committed seeds.
FUZZ_SECONDS ?= 60
fuzz:
	cmake --preset fuzz
	cmake --build --preset fuzz --parallel $(JOBS)
	bash tests/fuzz/run_fuzzers.sh build/fuzz $(FUZZ_SECONDS)

# Static analysis and formatting: all quiet on src/.
lint:
	cmake --preset dev >/dev/null
	clang-tidy -p build/dev --quiet src/model/*.cpp src/dialogue/*.cpp
	cppcheck --quiet --error-exitcode=1 --enable=warning,style,performance,portability --std=c++17 -I src src
	clang-format --dry-run -Werror src/*/*.cpp src/*/*.h tests/*.cpp tests/*.h tests/fuzz/*.cpp

# Windows executable, cross-built with MinGW-w64: build/windows/quorvast.exe
windows:
	cmake --preset windows
	cmake --build --preset windows --parallel $(JOBS)

# The Windows executable's icon, DLLs and every transcript, run under wine.
windows-test: windows
	bash tests/wine_checks.sh build/windows/quorvast.exe

clean:
	rm -rf build
