# Two entry points: `make demo` shows the tool at work, `make test` runs every test
# in a normal and a sanitizer build. Both install missing Debian packages first.
PACKAGES := build-essential cmake pkg-config libgdk-pixbuf-2.0-dev libpng-dev \
            libjpeg-dev zlib1g-dev libgtest-dev chromium
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
# The fuzz build: clang and its libFuzzer runtime; `make fuzz` runs each target this long.
PACKAGES += clang libclang-rt-dev
FUZZ_SECONDS ?= 60
# Packaging: the manual page's two checkers and the Debian package tools.
PACKAGES += mandoc groff-base dpkg-dev
# The mutation check's driver.
PACKAGES += python3
# Where `make install` puts the program; DESTDIR stages it under another root.
PREFIX ?= /usr/local

.PHONY: demo test deps build-release build-debug build-sanitize build-fuzz fuzz bench image-bench \
        install uninstall deb clean test-private-checkout mutants

deps:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  SUDO=""; [ "$$(id -u)" -eq 0 ] || SUDO=sudo; \
	  $$SUDO apt-get update && DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y $$missing; \
	fi

build-release: deps
	cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
	cmake --build build -j $(JOBS)

build-debug: deps
	cmake -S . -B build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build build-test -j $(JOBS)

build-sanitize: deps
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DBRASSWICK_SANITIZE=ON
	cmake --build build-asan -j $(JOBS)

build-fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRASSWICK_FUZZ=ON
	cmake --build build-fuzz -j $(JOBS)

demo: build-release
	./scripts/demo.sh build/brasswick

test: build-debug build-sanitize build-fuzz
	cd build-test && ctest --output-on-failure -j $(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)
	cd build-fuzz && ctest --output-on-failure -j $(JOBS)
	$(MAKE) test-private-checkout

# The tests that run the program as an ordinary user, again from a copy of the tree
# inside a folder only its owner may enter (as `mktemp -d` makes it, and as root's home
# is), where that user cannot reach the build: they must pass wherever the checkout
# lives. The copy is the committed tree with any uncommitted changes to tracked files;
# only the two test programs that hold those tests are built there.
PRIVATE_CHECKOUT_TESTS := ^(ExtractJsRom|SetLabel|SetTitleCommand|WriteTargets|Faults/WriteFaults|AtomicWriterTargets|AtomicWriterFailures)\.
test-private-checkout: deps
	@set -e; outer=$$(mktemp -d); trap 'rm -rf "$$outer"' EXIT; \
	tree="$$outer/brasswick"; mkdir "$$tree"; \
	if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then \
	  snapshot=$$(git stash create); git archive "$${snapshot:-HEAD}" | tar -x -C "$$tree"; \
	else tar --exclude='./build*' -cf - . | tar -x -C "$$tree"; fi; \
	echo "Privilege-dropping tests from a private checkout: $$tree"; \
	cmake -S "$$tree" -B "$$tree/build-test" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null; \
	cmake --build "$$tree/build-test" -j $(JOBS) --target e2e_tests platform_tests; \
	cd "$$tree/build-test" && ctest --output-on-failure -j $(JOBS) -R '$(PRIVATE_CHECKOUT_TESTS)'

# The mutation check: each fault of tests/mutation/mutants.tsv injected alone into a
# scratch copy (build-mutants/), the tests meant for it run, and the kill rate printed.
# Not part of `make test`: it takes a while. MUTANTS=PATTERN runs only the matching rows.
mutants: deps
	./tests/mutation/run_mutants $(if $(MUTANTS),--only '$(MUTANTS)')

fuzz: build-fuzz
	FUZZ_SECONDS=$(FUZZ_SECONDS) ./fuzz/run_fuzzers build-fuzz

# The program into $(PREFIX)/bin, its manual page into share/man/man1 and its bash
# completion into share/bash-completion/completions, all under $(DESTDIR) when set.
install: build-release
	DESTDIR="$(DESTDIR)" cmake --install build --prefix "$(PREFIX)"

# Removes what the last `make install` wrote, as build/install_manifest.txt lists it
# (without DESTDIR: give the same DESTDIR as to the install).
uninstall:
	@[ -f build/install_manifest.txt ] || { echo "nothing installed from build/"; exit 1; }
	sed 's|^|$(DESTDIR)|' build/install_manifest.txt | xargs -r -d '\n' rm -f --

# The Debian package build/brasswick_VERSION_ARCH.deb, its runtime dependencies found
# by dpkg-shlibdeps.
deb: build-release
	cd build && cpack -G DEB

# Every command timed against its floor, the bare work of its output (bench/run; it
# builds in Release itself). BENCH_RUNS sets the runs a row (default 11).
bench: deps
	./bench/run

# The image services alone: saving and loading a 2048 x 2048 picture in each format.
image-bench: build-release
	./build/image_bench

clean:
	rm -rf build build-test build-asan build-fuzz
