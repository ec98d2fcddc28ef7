# The two commands a newcomer needs: `make run` and `make test`.
BUILD ?= build
FUZZ_BUILD ?= build-fuzz
JOBS ?= 2
FUZZ_SECONDS ?= 30
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=Release -DZORVEL_WERROR=ON -DZORVEL_BENCH=ON -DZORVEL_TESTS=ON

.PHONY: all deps build demo run run-en test bench fuzz format clean

all: build

deps:
	@scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD) -j$(JOBS)

demo: build
	@demo/animation/build.sh $(BUILD)/zorvel-tool
	@$(BUILD)/zorvel-tool build-game demo $(BUILD)/demo
	@demo/cursors/build.sh $(BUILD)/zorvel-tool $(BUILD)/demo
	@mkdir -p $(BUILD)/demo/translations && cp demo/translations/*.po $(BUILD)/demo/translations/

run: demo
	$(BUILD)/zorvel $(BUILD)/demo

run-en: demo
	$(BUILD)/zorvel --translation $(BUILD)/demo/translations/en.po $(BUILD)/demo

test: build
	@cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

bench: demo
	@bench/run.sh $(BUILD)

fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=Debug -DZORVEL_FUZZ=ON >/dev/null
	@cmake --build $(FUZZ_BUILD) -j$(JOBS)
	@fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

format:
	@find src tools tests bench fuzz -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(FUZZ_BUILD)
