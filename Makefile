# The two set-up commands: `make run` and `make test`. Everything else here
# serves them, CI or installation (`make install`, `make package`).
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
BUILD ?= build
ASAN_BUILD ?= build-sanitize

.PHONY: all deps build run test install package build-sanitize test-sanitize bench screenshots clean

all: build

deps:
	@scripts/install-deps

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DKASTRA_WERROR=ON -DKASTRA_BENCH=ON

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

run: build
	cd $(BUILD)/bin && ./kastra-theme-creator

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Into $(PREFIX) (/usr/local unless given: make install PREFIX=/opt/kastra);
# DESTDIR stages the files elsewhere as usual.
PREFIX ?= /usr/local
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# The Debian package, kastra-theme-creator_<version>_<arch>.deb in $(BUILD).
package: build
	cd $(BUILD) && cpack -G DEB

$(ASAN_BUILD)/CMakeCache.txt:
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DKASTRA_WERROR=ON -DKASTRA_SANITIZE=ON -DKASTRA_BENCH=OFF

build-sanitize: deps $(ASAN_BUILD)/CMakeCache.txt
	cmake --build $(ASAN_BUILD) -j $(JOBS)

test-sanitize: build-sanitize
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
		ctest --output-on-failure -j $(JOBS)

bench: build
	@for b in $(BUILD)/bench/bench_*; do echo "== $$b"; $$b; done

screenshots: build
	scripts/screenshots $(BUILD) docs

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
