# The README's commands. Each one sets up what it needs first.
PY      := .venv/bin/python
BUILD   := build/dev
JOBS    ?= 2

.PHONY: setup build demo test bench fuzz clean

setup:
	@scripts/setup.sh

build: setup
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DZENTRA_TESTS=ON \
	  -DPython_EXECUTABLE=$(abspath $(PY)) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

demo: build
	@PYTHONPATH=$(BUILD) $(PY) examples/demo.py

test: build
	@cd $(BUILD) && { ctest --output-on-failure -j $(JOBS) > ctest.log 2>&1 && tail -n 3 ctest.log; } \
	  || { cat ctest.log; exit 1; }
	@PYTHONPATH=$(BUILD) $(PY) -m pytest -q tests

bench: build
	@scripts/setup.sh --bench
	@PYTHONPATH=$(BUILD) $(PY) bench/run.py

# One libFuzzer target per file reader, FUZZ_SECONDS each (not part of test).
fuzz: build
	@zentrel/fuzz/run.sh $(or $(FUZZ_SECONDS),60)

clean:
	rm -rf build
