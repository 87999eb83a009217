# Front door: `make run` builds and starts the program, `make test` builds
# and runs every test. Each target first installs the Debian packages it
# needs (setup/need, lists in setup/packages). Build chatter goes to
# standard error so that piped runs show only the program's own output.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
SHELL := bash
.SHELLFLAGS := -o pipefail -c
NEED = @setup/need
# The cross-built rows of platforms.conf, as linux-NAME.
LINUX_PLATFORMS = $(shell bash -c 'source packaging/platforms.sh && platform_rows' | awk -F'\t' '$$2 != "-" { print "linux-" $$1 }')

.PHONY: run release install uninstall package package-test bench test test-big sanitize coverage fuzz lint windows windows-installer windows-test $(LINUX_PLATFORMS) cross cross-test web web-serve web-test bench-web diagram dist dist-reproducible rebuild-check site site-serve clean clean-dist

# Only the program shows: make adds no error line when it exits 1, so its
# own message stays the last line. So does setup/need's command line when
# packages are missing and cannot be installed here: make run then exits 0
# too. Scripts that need an exit status run make release and
# build/release/quorvast.
run:
	@if setup/need build; then $(BUILD_RELEASE) && { ./build/release/quorvast || true; }; fi

# Quiet: one line on the first build, nothing on a built tree, the whole
# log only when the build fails.
BUILD_RELEASE = mkdir -p build && \
  { [ -f build/release/CMakeCache.txt ] || echo "building build/release/quorvast (log: build/release.log)" >&2; } && \
  { { { [ -f build/release/CMakeCache.txt ] || cmake --preset release; } && \
      cmake --build --preset release --parallel $(JOBS); } >build/release.log 2>&1 || { cat build/release.log >&2; exit 1; }; }
release:
	$(NEED) build
	@$(BUILD_RELEASE)

# Installs under PREFIX: bin/, share/man/man1/, share/doc/quorvast/.
PREFIX ?= /usr/local
install: release
	cmake --install build/release --prefix "$(PREFIX)" --component program && cmake --install build/release --prefix "$(PREFIX)" --component license

# Removes the files make install puts under PREFIX, and the doc folder it
# made. Which files they are comes from installing into an empty folder, so
# nothing kept in build/ is needed: it works after make clean too.
uninstall: release
	@list=$$(mktemp -d) && trap 'rm -rf "$$list"' EXIT && \
	  for component in program license; do \
	    DESTDIR=$$list cmake --install build/release --prefix "$$(realpath -m "$(PREFIX)")" --component $$component >/dev/null; \
	  done && \
	  (cd "$$list" && find . -type f -printf '/%P\0') | xargs -r -0 rm -fv
	@[ ! -d "$(PREFIX)/share/doc/quorvast" ] || find "$(PREFIX)/share/doc/quorvast" -depth -type d -empty -delete

# The Debian package: dist/quorvast_<version>_amd64.deb
package: release
	$(NEED) package
	cd build/release && umask 022 && cpack >&2
	mkdir -p dist && cp build/release/package/quorvast_*.deb dist/

# The install layout, man page and Debian package, installed and removed
# again system-wide (run as root), from a copy of the tree in a folder of
# its own: dist/ and earlier installs stay as they are.
package-test:
	$(NEED) build package
	bash tests/package_checks.sh

# Instructions, wall time, memory and system calls against a floor program.
bench:
	$(NEED) build bench
	bench/run

# As quiet as make run: the build's log only when it fails, then ctest's
# progress and summary.
test:
	$(NEED) build test
	@mkdir -p build
	@{ cmake --preset dev && cmake --build --preset dev --parallel $(JOBS); } >build/dev.log 2>&1 || { cat build/dev.log >&2; exit 1; }
	@ctest --preset dev --parallel $(JOBS)

# The 10 MB inputs, left out of make test to keep it fast; CI runs them.
test-big: test
	ctest --preset big

sanitize:
	$(NEED) build test sanitize
	cmake --preset sanitize
	cmake --build --preset sanitize --parallel $(JOBS)
	ctest --preset sanitize --parallel $(JOBS)

# Line and branch coverage of src/ by every test (gcov, gcovr).
GCOVR = gcovr --root . --filter 'src/' --exclude-throw-branches --exclude-unreachable-branches
coverage:
	$(NEED) build test coverage
	cmake --preset coverage
	cmake --build --preset coverage --parallel $(JOBS)
	find build/coverage -name '*.gcda' -delete
	ctest --preset coverage --parallel $(JOBS)
	$(GCOVR) --branches build/coverage | grep -v '100%' || true
	$(GCOVR) --print-summary --fail-under-line 100 --fail-under-branch 95 --output build/coverage/report.txt build/coverage

# Each libFuzzer target for FUZZ_SECONDS, from the committed seeds.
FUZZ_SECONDS ?= 60
fuzz:
	$(NEED) build fuzz
	cmake --preset fuzz
	cmake --build --preset fuzz --parallel $(JOBS)
	bash tests/fuzz/run_fuzzers.sh build/fuzz $(FUZZ_SECONDS)

# Static analysis and formatting: silent when all is well. clang-tidy counts
# the warnings it suppressed in system headers; that count is dropped.
lint:
	$(NEED) build test lint
	@cmake --preset dev >/dev/null
	@clang-tidy -p build/dev --quiet src/model/*.cpp src/dialogue/*.cpp src/console/*.cpp 2>&1 | { grep -v '^[0-9]* warnings\? generated\.$$' || true; }
	@cppcheck --quiet --error-exitcode=1 --enable=warning,style,performance,portability --std=c++17 -I src src
	@clang-format --dry-run -Werror src/*/*.cpp src/*/*.h tests/*.cpp tests/*.h tests/fuzz/*.cpp

# Windows executable, cross-built with MinGW-w64: build/windows/quorvast.exe
windows:
	$(NEED) build windows
	cmake --preset windows
	cmake --build --preset windows --parallel $(JOBS)

# The Windows installer, reproducibly: build/windows/quorvast.msi
MSI = build/windows/quorvast.msi
windows-installer: windows
	$(NEED) windows-installer
	packaging/windows_installer.sh build/windows/quorvast.exe $(MSI)

# The Windows executable's icon and DLLs; the installer installs it, and the
# installed program runs every transcript under wine; upgrade and uninstall.
windows-test: windows-installer
	$(NEED) test windows-test
	bash tests/platform_checks.sh windows build/windows/quorvast.exe $(MSI)

# Static release programs for Linux on other processors, cross-built with
# Debian's cross compilers: build/linux-ARCH/quorvast.
$(LINUX_PLATFORMS):
	$(NEED) build cross
	@# A folder configured with another toolchain file is made anew.
	@grep -qs '/cmake/linux-cross.cmake' build/$@/CMakeFiles/*/CMakeSystem.cmake || rm -rf build/$@
	QUORVAST_PLATFORM=$(@:linux-%=%) cmake --preset linux-cross
	QUORVAST_PLATFORM=$(@:linux-%=%) cmake --build --preset linux-cross --parallel $(JOBS)
cross: $(LINUX_PLATFORMS)

# Each of them under qemu-user, under each processor its row names: every
# transcript and random sessions.
cross-test: cross
	$(NEED) test cross-test
	for platform in $(LINUX_PLATFORMS); do bash tests/platform_checks.sh $$platform build/$$platform/quorvast || exit 1; done

# The program as WebAssembly (emscripten): build/wasm/quorvast.js, the
# console program for node, and the web page, copied alone into build/web/.
web:
	$(NEED) build web
	cmake --preset wasm
	cmake --build --preset wasm --parallel $(JOBS)
	rm -rf build/web && mkdir build/web && cp build/wasm/page/* build/web/

# Serves the page on this machine only.
PORT ?= 8000
web-serve: web
	@echo "Quorvast's page: http://127.0.0.1:$(PORT)/ (Ctrl-C stops the server)"
	@python3 -m http.server $(PORT) --bind 127.0.0.1 --directory build/web

# The node build through every transcript and random sessions; the page in
# headless chromium through every transcript a person can type, its phone
# widths, slow and failed loads and offline reload, axe-core and Lighthouse.
web-test: web tests/browser/node_modules
	$(NEED) test web-test
	bash tests/platform_checks.sh node build/wasm/quorvast.js
	bash tests/platform_checks.sh web build/web

# axe-core and Lighthouse, pinned in tests/browser/package-lock.json. npm
# comes with NodeSource's nodejs; Debian packages it apart.
tests/browser/node_modules: tests/browser/package-lock.json
	@command -v npm >/dev/null || setup/need npm
	cd tests/browser && npm ci --no-audit --no-fund --loglevel=error
	@touch $@

# The page's size, the time to its first prompt in headless chromium, and
# Lighthouse's performance score on its mobile profile.
bench-web: web tests/browser/node_modules
	$(NEED) web-test
	bench/web

# doc/diameters.svg, drawn from the release program's own figures.
diagram: release
	$(NEED) diagram
	/usr/bin/python3 doc/make_diameters.py build/release/quorvast doc/diameters.svg

# Everything a release page offers, in dist/: the source, a tarball per
# Linux platform, the Debian packages, the Windows zip and installer, the web page's zip,
# SHA256SUMS. Signed where keys are given: SIGN_CERT=cert.pem with
# SIGN_KEY=key.pem or SIGN_KEY=pkcs11:... SIGN_PKCS11_MODULE=module.so
# [SIGN_TIMESTAMP_URL=address] (quorvast.exe and the .msi), GPG_KEY=id
# (SHA256SUMS.asc and the key's public half). From committed sources only:
# it refuses a tree with changes, unless DIST_ALLOW_CHANGES=1, or with a
# private key in it, and tries the timestamp server and each key before it
# builds. dist/ is replaced only by a whole release. In the unpacked source
# tarball too, with the same bytes.
dist:
	$(NEED) dist $(if $(SIGN_CERT)$(SIGN_TIMESTAMP_URL)$(GPG_KEY),sign windows-installer)
	@bash packaging/dist.sh --check
	@$(MAKE) --no-print-directory release cross windows-installer web
	$(NEED) package dist $(if $(SIGN_CERT)$(GPG_KEY),sign)
	bash packaging/dist.sh

# Two make dist and make site runs from two fresh clones, built under
# different accounts' settings, give the same bytes; the site's crawl, axe
# and Lighthouse; signed with throwaway keys, then published with make site,
# a stranger's checks pass with only what the site has.
dist-reproducible: tests/browser/node_modules
	$(NEED) reproducible sign site web-test
	bash tests/reproducible_dist.sh

# Rebuilds a downloaded release from its source tarball alone (no git) and
# compares: DOWNLOADS=DIR, a folder with the release's files and SHA256SUMS.
# Where this machine's tools are not those the release records, the
# rebuild runs (as root) in a fresh root of the recorded Debian release;
# REBUILD_IN=host, REBUILD_ROOTS=DIR and DEBIAN_MIRROR=URL as
# packaging/rebuild_check.sh says.
rebuild-check:
	$(NEED) dist reproducible sign
	bash packaging/rebuild_check.sh "$(DOWNLOADS)"

# The web site to upload: the landing page, the downloads with their sums,
# install and remove, the manual, the README and this guide, the page
# itself; build/site/, the same bytes from the same release folder. It
# publishes dist/ as make dist left it, signatures and all, and refuses
# when there is none or its files do not match its SHA256SUMS.
# PREVIOUS_SITE=DIR, a copy of the site as last published, is required
# (PREVIOUS_SITE=none for a first release): it is checked as a stranger
# would, and every earlier release stays, never replaced. A failure leaves
# build/site as it was.
site: release
	$(NEED) site
	/usr/bin/python3 packaging/make_site.py build/site --previous "$(PREVIOUS_SITE)"

site-serve: site
	@echo "Quorvast's site: http://127.0.0.1:$(PORT)/ (Ctrl-C stops the server)"
	@python3 -m http.server $(PORT) --bind 127.0.0.1 --directory build/site

# Leaves dist/, the release folder, which may hold signed files: clean-dist
# removes it.
clean:
	rm -rf build
clean-dist:
	rm -rf dist
