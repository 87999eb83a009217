# Front door: `make run` builds and starts the program, `make test` builds
# and runs every test. Build chatter goes to standard error so that piped
# runs show only the program's own output.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: run release test sanitize coverage windows windows-test clean

run: release
	@./build/release/quorvast

release:
	@cmake --preset release >&2
	@cmake --build --preset release --parallel $(JOBS) >&2

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

# Windows executable, cross-built with MinGW-w64: build/windows/quorvast.exe
windows:
	cmake --preset windows
	cmake --build --preset windows --parallel $(JOBS)

# The Windows executable's icon, DLLs and every transcript, run under wine.
windows-test: windows
	bash tests/wine_checks.sh build/windows/quorvast.exe

clean:
	rm -rf build
