# Thin wrapper around CMake: `make run` and `make test` set up a fresh machine.
BUILD_DIR ?= build
BENCH_DIR ?= build-bench
JOBS ?= $(shell nproc)

.PHONY: deps configure build run test bench fuzz clean

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
	  echo "make run: no display here (DISPLAY and WAYLAND_DISPLAY are unset); start Pagrion from a desktop session."; \
	  exit 1; \
	fi
	@$(BUILD_DIR)/bin/pagrion

test: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# Release figures of this machine: batch runs of both engines beside peer
# scrapers (installed here when missing), the static engine against a
# distant HTTPS site, the memory of a long run, the table extraction alone,
# and the static engine on the largest pages beside the HTML parser alone.
# Printed only; nothing checks them. BENCH=engine (or batch, tls, memory,
# extraction) runs only those sections. BEFORE=<commit> also builds
# pagrion-cli as it was then and sets its CPU per page beside today's.
# BENCH=scale: 1 to 8 processes sharing one run on a throwaway PostgreSQL.
# BENCH=agreement: how alike the two engines read the HTML manuals Debian
# ships (AGREEMENT_PAGES names other folders), with the full browser's
# scripts on and then off.
AGREEMENT_PAGES ?= $(wildcard /usr/share/doc/python3.11/html /usr/share/doc/git-doc \
  /usr/share/doc/valgrind/html /usr/share/doc/libxslt1-dev /usr/share/doc/nodejs/api)
ifeq ($(BENCH),agreement)
bench: deps
	@bench/install-peers
	@cmake -S . -B $(BENCH_DIR) -DCMAKE_BUILD_TYPE=Release -DPAGRION_BENCH=ON >/dev/null
	@cmake --build $(BENCH_DIR) -j $(JOBS) --target pagrion-agreement
	@QT_QPA_PLATFORM=offscreen $(BENCH_DIR)/bench/pagrion-agreement --show 0 $(AGREEMENT_PAGES)
	@QT_QPA_PLATFORM=offscreen $(BENCH_DIR)/bench/pagrion-agreement --show 0 --no-scripts $(AGREEMENT_PAGES)
else ifeq ($(BENCH),scale)
bench: deps
	@cmake -S . -B $(BENCH_DIR) -DCMAKE_BUILD_TYPE=Release -DPAGRION_BENCH=ON >/dev/null
	@cmake --build $(BENCH_DIR) -j $(JOBS) --target pagrion-cli pagrion-initdb
	@bench/scale.py $(BENCH_DIR) $(CURDIR)
else
bench: deps
	@bench/install-peers
	@cmake -S . -B $(BENCH_DIR) -DCMAKE_BUILD_TYPE=Release -DPAGRION_BENCH=ON >/dev/null
	@cmake --build $(BENCH_DIR) -j $(JOBS) --target pagrion-bench
	@PAGRION_BEFORE="$(BEFORE)" PAGRION_BEFORE_CLI="$(if $(BEFORE),$$(bench/build-before $(BEFORE) $(JOBS)))" \
	  $(BENCH_DIR)/bench/pagrion-bench $(BENCH)
endif

# The page fuzzer for a minute, with clang and the sanitizers; what it finds
# stays in tests/fuzz/corpus, which make test reads again.
fuzz:
	@scripts/fuzz

# Removes the build but keeps the program folder's data/ and temp/: they hold
# the collected records, the saved sites and layouts, and exported files.
clean:
	@if [ -d $(BUILD_DIR) ]; then \
	  find $(BUILD_DIR) -mindepth 1 -maxdepth 1 ! -name bin -exec rm -rf {} +; \
	  if [ -d $(BUILD_DIR)/bin ]; then \
	    find $(BUILD_DIR)/bin -mindepth 1 -maxdepth 1 ! -name data ! -name temp -exec rm -rf {} +; \
	  fi; \
	  if [ -n "$$(ls -A $(BUILD_DIR)/bin 2>/dev/null)" ]; then \
	    echo "make clean: kept $(BUILD_DIR)/bin/data and $(BUILD_DIR)/bin/temp (the collected data)"; \
	  else \
	    rm -rf $(BUILD_DIR); \
	  fi; \
	fi
