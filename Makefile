# The two everyday commands: `make run` builds and starts Korvel, `make test`
# builds and runs every test. Both install what the build needs first; on a
# machine without make, ./korvel.sh installs it and then runs make.
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?=
ifdef CI
CMAKE_FLAGS += -DKORVEL_WERROR=ON
endif

.PHONY: all bootstrap configure build run test bench package clean

all: build

bootstrap:
	@scripts/bootstrap.sh

configure: bootstrap
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@scripts/run.sh $(BUILD)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

bench: build
	@bench/run.sh $(BUILD)

# build-debian/korvel_<version>_amd64.deb, from a build of its own with
# Debian's package flags, whose tests pass first; lintian checks it.
package: bootstrap
	@scripts/builds.sh debian

clean:
	rm -rf $(BUILD)
