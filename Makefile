# Varlen: the two set-up commands are `make run` and `make test`. Both install what is missing
# (Debian packages, through scripts/install-deps.sh), build out of tree in build/ and then run.
BUILD     ?= build
JOBS      ?= $(shell nproc)
CMAKE_ARGS ?=

.PHONY: all deps configure build run test bench clean

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@if [ -x $(BUILD)/app/varlen ]; then \
	  exec $(BUILD)/app/varlen; \
	else \
	  echo "The window is not built yet; the command-line generator on an example:"; \
	  $(BUILD)/cli/varlen-cli --dump --type EAN_13 400638133393; \
	fi

test: build
	@cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

bench: build
	@for b in $(BUILD)/bench/bench_*; do [ -x "$$b" ] && "$$b" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true; done

clean:
	rm -rf $(BUILD)
