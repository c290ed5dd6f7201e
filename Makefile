# Quick start: `make run` and `make check`. Both install what is missing.
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
CMAKE_GEN  := -G Ninja
PREFIX     ?= /usr/local
# DESTDIR (empty by default) is read from the environment by cmake --install.

.PHONY: all deps build run check check-asan bench bench-deps render-check clean \
        install uninstall package package-deps

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/build.ninja: CMakeLists.txt | deps
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@scripts/run-wizard.sh $(BUILD)/bin

check: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# Installs under $(PREFIX) (within $(DESTDIR) when set); the manifest
# $(BUILD)/install_manifest.txt lists every file for `make uninstall`.
install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

uninstall:
	DESTDIR="$(DESTDIR)" cmake --build $(BUILD) --target uninstall

# The Debian package, $(BUILD)/tessory_<version>_<arch>.deb; dpkg-shlibdeps
# works out its dependencies. Check it with `lintian $(BUILD)/tessory_*.deb`.
package: build package-deps
	cd $(BUILD) && cpack -G DEB

package-deps:
	@missing=""; for p in dpkg-dev file; do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  sudo=""; [ "$$(id -u)" -eq 0 ] || sudo="sudo"; \
	  echo "Installing:$$missing"; \
	  DEBIAN_FRONTEND=noninteractive $$sudo apt-get install -y -qq --no-install-recommends $$missing; \
	fi

# Every benchmark under bench/, one after the other (never run by ctest).
bench: build bench-deps
	@bench/run-all.sh $(BUILD)

# The general tools the benchmarks compare against (and the fonts
# ImageMagick's labels need); a benchmark skips one that is missing, so a
# failed install only leaves it out.
bench-deps:
	@missing=""; for p in img2pdf imagemagick fonts-urw-base35; do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  sudo=""; [ "$$(id -u)" -eq 0 ] || sudo="sudo"; \
	  echo "Installing:$$missing"; \
	  DEBIAN_FRONTEND=noninteractive $$sudo apt-get install -y -qq --no-install-recommends $$missing \
	    || echo "Could not install$$missing; the benchmarks skip them."; \
	fi

# How close the movie engine's frames come to reference pictures of other
# players, when ../shared/render-check is there (never needed, never in CI).
# RENDER_CHECK_ARGS passes options on, e.g. --cases 'visual__filters*' --keep /tmp/rc.
RENDER_CHECK ?= ../shared/render-check
render-check: deps $(BUILD)/build.ninja
	@if [ ! -f $(RENDER_CHECK)/render_check.py ]; then \
	  echo "No reference pictures in $(RENDER_CHECK); nothing to check."; \
	else \
	  cmake --build $(BUILD) --target kavrel-frames -j $(JOBS) && \
	  python3 $(RENDER_CHECK)/render_check.py \
	    --cmd "$(BUILD)/bin/kavrel-frames {swf} --frame {frame} --out {png} --stage-quality {quality} --scale {scale}" \
	    $(RENDER_CHECK_ARGS); \
	fi

# The same tests built with AddressSanitizer and UndefinedBehaviorSanitizer.
check-asan: deps
	cmake -S . -B $(ASAN_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DTESSORY_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=0 ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
