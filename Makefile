# Velmora's single entry point. `make test` installs what is missing,
# builds every preset and runs every test; `make run` installs what running
# needs, builds the two programs it shows (preset run) and shows the saver;
# `make video` makes the whole emergence a video with the same build.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
BUILD_PRESETS := native asan tsan windows-x64 windows-x86 linux-x86
OUT ?= out

# One time stamp for every artefact these builds make, the commit's
# (cmake/source_date_epoch.cmake): taken once, so that make release's builds
# agree even should a commit come in between. A build without make takes
# the same from CMake.
ifeq ($(origin SOURCE_DATE_EPOCH),undefined)
SOURCE_DATE_EPOCH := $(shell command -v cmake >/dev/null && cmake -DSOURCE_DIR=. -P cmake/source_date_epoch.cmake)
endif
ifneq ($(SOURCE_DATE_EPOCH),)
export SOURCE_DATE_EPOCH
endif

.PHONY: all deps deps-run deps-video build-run build test test-repeat run video package bench bench-windows clean build-fuzz installer package-windows windows-savers release release-check rebuild-check $(addprefix build-,$(BUILD_PRESETS))

all: build

# The install script's tiers: what running needs, that and the video
# encoder, and everything.
deps-run:
	@scripts/install-deps.sh run

deps-video:
	@scripts/install-deps.sh video

deps:
	@scripts/install-deps.sh test

# A static pattern rule: make skips implicit rules for phony targets.
$(addprefix build-,$(BUILD_PRESETS)): build-%: deps
	cmake --preset $* >/dev/null
	cmake --build --preset $* -j $(JOBS)

# The command-line fuzzer: a project of its own, built with clang.
build-fuzz: deps
	cmake -S fuzz -B build/fuzz >/dev/null
	cmake --build build/fuzz -j $(JOBS)

build: $(addprefix build-,$(BUILD_PRESETS)) build-fuzz

test: build
	ctest --preset native -j $(JOBS)
	ctest --preset asan -j $(JOBS)
	ctest --preset tsan -j $(JOBS)
	ctest --test-dir build/fuzz --output-on-failure --verbose
	ctest --preset windows-x64 -j $(JOBS)
	ctest --preset windows-x86 -j $(JOBS)
	ctest --preset linux-x86 -j $(JOBS)

# The flake hunt: every suite many times on a loaded machine, with counts
# (hours; not part of test). Arguments: TEST_REPEAT_ARGS="--repeat 5 tsan".
test-repeat: build
	scripts/test-repeat.sh $(TEST_REPEAT_ARGS)

# The Windows packages, made in build/windows-x64 from both savers:
# velmora-setup-VERSION.exe and velmora-VERSION-windows.zip.
windows-savers: deps
	cmake --preset windows-x86 >/dev/null
	cmake --build --preset windows-x86 -j $(JOBS) --target velmora_saver
	cmake --preset windows-x64 >/dev/null

installer package-windows: windows-savers
	cmake --build --preset windows-x64 -j $(JOBS) --target $@

# The release, in release/velmora-VERSION/ (VERSION: project() in
# CMakeLists.txt): only from a clean tree (nothing in git status), whose
# commit is recorded; after every build and test (make test), the Debian
# package, the Windows installer and zip, the source tarball of that commit
# (refused should HEAD have moved meanwhile) and CHANGELOG.md, with their
# SHA256SUMS; then every artefact's version is checked. `make release-check`
# checks the folder again, the checksums too.
# RELEASE_SKIP_TESTS=1 leaves make test out: for developing this target
# only, never for a release that is handed out.
release:
	@scripts/release.sh --clean-tree
ifeq ($(RELEASE_SKIP_TESTS),)
	$(MAKE) test
else
	@echo "release: make test skipped (RELEASE_SKIP_TESTS=1, for development only)"
endif
	$(MAKE) package installer
	scripts/release.sh --gather

release-check:
	scripts/release.sh --check

# HEAD's artefacts built twice, from its source tarball in two folders with
# another time zone, locale, umask and job count: their SHA256SUMS must be
# the same (scripts/rebuild-check.sh; REBUILD_CHECK_ARGS="--commit v1.0",
# or "--release release/velmora-1.0" to rebuild a release and compare).
rebuild-check: deps
	scripts/rebuild-check.sh $(REBUILD_CHECK_ARGS)

# Only velmora and velmora-render: no tests, benchmarks or cross builds.
build-run: deps-run
	cmake --preset run >/dev/null
	cmake --build --preset run -j $(JOBS)

run: build-run
	scripts/run.sh "$(OUT)"

# The whole emergence, 150 s at 1280 x 720, seed 1, as $(OUT)/velmora.webm.
# The run build after the video tier, one after the other.
video: deps-video
	@$(MAKE) --no-print-directory build-run
	mkdir -p "$(OUT)"
	build/run/src/render/velmora-render --video "$(OUT)/velmora.webm" --size 1280x720 --seed 1

# The Debian package, build/native/velmora_<version>_amd64.deb, and the
# Windows zip. umask 022, as dpkg-buildpackage sets it: CPack takes the
# package's folders' and members' modes from the files it writes.
package: build-native package-windows
	cd build/native && umask 022 && cpack -G DEB

# Every speed figure beside the reference's and its target: the plane
# natively, under Wine and under QEMU, the frames' pace and CPU share on
# software GL.
bench: build-native build-windows-x64 build-windows-x86 build-linux-x86
	scripts/bench.sh

# The plane's figures alone, from the 64-bit Windows build under Wine.
bench-windows: build-windows-x64
	scripts/wine-run build/windows-x64/bench/plane_timing.exe

clean:
	rm -rf build $(OUT)
