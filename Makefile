# Entry points: `make run` builds and starts Kivo, `make test` builds and runs
# every test but the slow ones, `make test-slow` runs those (archives of
# gigabytes and tens of thousands of files), `make bench` runs the benchmarks,
# `make package` builds and checks the Debian package.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
DEBUG_DIR := build/debug
RELEASE_DIR := build/release
SLOW_DIR := build/slow

.PHONY: deps test test-slow run bench build-release package clean

deps:
	bash scripts/install-deps

test: deps
	cmake -S . -B $(DEBUG_DIR) -DCMAKE_BUILD_TYPE=Debug -DKIVO_SANITIZE=ON -DKIVO_WERROR=ON
	cmake --build $(DEBUG_DIR) -j $(JOBS)
	cd $(DEBUG_DIR) && ctest --output-on-failure -j $(JOBS) -LE slow

# The slow tests move gigabytes through the CRC and the deflate code, which
# under the sanitizers at -O0 takes most of an hour: they run on an
# optimised build of their own, with assertions kept.
test-slow: deps
	cmake -S . -B $(SLOW_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKIVO_WERROR=ON -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g"
	cmake --build $(SLOW_DIR) -j $(JOBS)
	cd $(SLOW_DIR) && ctest --output-on-failure -L slow

build-release: deps
	cmake -S . -B $(RELEASE_DIR) -DCMAKE_BUILD_TYPE=Release -DKIVO_BENCH=ON
	cmake --build $(RELEASE_DIR) -j $(JOBS)

run: build-release
	@if [ ! -x $(RELEASE_DIR)/src/app/kivo ]; then \
	  echo "The desktop program is not built yet."; exit 1; fi
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
	  echo "No display: Kivo is a desktop program and needs a graphical session (DISPLAY or WAYLAND_DISPLAY)."; exit 1; fi
	$(RELEASE_DIR)/src/app/kivo

bench: build-release
	bash bench/run-all

package: build-release
	rm -f $(RELEASE_DIR)/kivo_*.deb
	cd $(RELEASE_DIR) && cpack -G DEB
	bash tests/package/check-package $(RELEASE_DIR)/kivo_*.deb

clean:
	rm -rf build
