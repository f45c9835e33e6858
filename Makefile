# Two commands set everything up on a fresh Debian 12 machine:
#   make run    install what is missing, build, start the program
#   make test   install what is missing, build, run every test headless
.PHONY: run test test-sanitize build build-sanitize deps bench format clean

BUILD_DIR ?= build
SANITIZE_DIR ?= build-sanitize
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

# What a fresh Debian 12 machine lacks to build, test and run the program.
PACKAGES := build-essential cmake ninja-build pkg-config \
	qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev libxcb1-dev \
	libbenchmark-dev fonts-dejavu-core adwaita-qt6 \
	xvfb xauth openbox xdotool x11-utils imagemagick dbus at-spi2-core python3-pyatspi \
	weston xwayland qt6-wayland \
	python3 desktop-file-utils appstream dpkg-dev file lintian devscripts

run: build
	@tools/run-program.sh $(BUILD_DIR)/src/plenwick

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 600

test-sanitize: build-sanitize
	cd $(SANITIZE_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 900

build: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DPLENWICK_WERROR=$(if $(CI),ON,OFF) $(CMAKE_FLAGS)
	cmake --build $(BUILD_DIR) -j $(JOBS)

build-sanitize: deps
	cmake -S . -B $(SANITIZE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPLENWICK_SANITIZE=ON \
		-DPLENWICK_BUILD_BENCH=OFF -DPLENWICK_WERROR=$(if $(CI),ON,OFF) $(CMAKE_FLAGS)
	cmake --build $(SANITIZE_DIR) -j $(JOBS)

deps:
	@tools/install-deps.sh $(PACKAGES)

bench: build
	@tools/run-benchmarks.sh $(BUILD_DIR)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR)
