# Thin wrapper over CMake. Every target first makes sure the Debian packages are there.
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?=

.PHONY: deps configure build test sanitize tsan asan clang fuzz bench soak run demo install package package-check clean

deps:
	scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j$(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

# The threaded layers under ThreadSanitizer and the file parsers under AddressSanitizer, each in
# a build folder of its own (AddressSanitizer together with UndefinedBehaviorSanitizer). Qt is not
# instrumented, so the window layers stay out of these runs.
SANITIZE_LAYERS := engine;tags;pipeline;encoders;source;export;cli;plugin
tsan: deps
	cmake -S . -B build-tsan -DMURMEX_SANITIZE=thread -DMURMEX_LAYERS="$(SANITIZE_LAYERS)"
	cmake --build build-tsan -j$(JOBS)
	cd build-tsan && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" ctest --output-on-failure -j$(JOBS)

asan: deps
	cmake -S . -B build-asan -DMURMEX_SANITIZE=address,undefined -DMURMEX_LAYERS="$(SANITIZE_LAYERS)"
	cmake --build build-asan -j$(JOBS)
	cd build-asan && ctest --output-on-failure -j$(JOBS)

sanitize: tsan asan

# The whole program and its tests built and run with Clang as well: the code must build with both
# compilers without a warning.
clang: deps
	CC=clang CXX=clang++ cmake -S . -B build-clang
	cmake --build build-clang -j$(JOBS)
	cd build-clang && ctest --output-on-failure -j$(JOBS)

# libFuzzer targets on the file parsers and the load path (Clang, AddressSanitizer and
# UndefinedBehaviorSanitizer), each run FUZZ_SECONDS, JOBS at a time; see tests/fuzz/run-fuzzers.
FUZZ_SECONDS ?= 60
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -DMURMEX_FUZZ=ON -DMURMEX_LAYERS="engine;tags;pipeline;encoders;source"
	cmake --build build-fuzz -j$(JOBS) --target fuzzers
	tests/fuzz/run-fuzzers build-fuzz $(FUZZ_SECONDS) $(JOBS)

bench: build
	scripts/run-benchmarks $(BUILD)

# 200 saves and 200 Play/Stop cycles in one process: memory and thread counts must stay flat.
# Long, so not part of `make test`.
soak: configure
	cmake --build $(BUILD) -j$(JOBS) --target soak_run
	$(BUILD)/tests/fixtures/make_fixtures $(BUILD)/fixtures
	SDL_AUDIODRIVER=dummy $(BUILD)/tests/soak/soak_run

run: build
	$(BUILD)/app/murmex

# PREFIX=/some/where installs there instead of CMake's default prefix; the LV2 bundle goes to
# $(PREFIX)/lib/lv2/murmex.lv2, where hosts look for it.
install: build
	cmake --install $(BUILD) $(if $(PREFIX),--prefix $(PREFIX))

# The Debian package murmex_<version>_amd64.deb in $(BUILD). package-check (run by CI) checks it
# with lintian, installs it with apt-get, runs what it installed and purges it again.
package: build
	rm -f $(BUILD)/murmex_*_amd64.deb
	cd $(BUILD) && cpack -G DEB

package-check: package
	packaging/check-package $(BUILD)

# Cleans the bundled noisy sample with both methods and reports, for each, how far the noise floor
# dropped (sox stats, RMS of the noise-only stretch at the end of the sample) and how much the speech
# level changed (RMS of a stretch of speech). --aligned keeps each stretch where it is in the source.
# The classic method is shown at its strongest setting, the adaptive one at its defaults.
DEMO_IN := data/demo-noisy.wav
DEMO_DIR := $(BUILD)/demo
DEMO_SPEECH := 1.0 4.0
DEMO_classic_FLAGS ?= --reduction 1100
DEMO_adaptive_FLAGS ?=
demo: build
	@mkdir -p $(DEMO_DIR)
	$(foreach m,classic adaptive,$(BUILD)/cli/murmex-cli --quiet --force --aligned --method $(m) $(DEMO_$(m)_FLAGS) \
	  -o $(DEMO_DIR)/demo-$(m).wav $(DEMO_IN) &&) true
	@rms() { sox "$$1" -n trim $$2 $$3 stats 2>&1 | awk '/RMS lev dB/ { print $$4 }'; }; \
	noise_at=$$(soxi -D $(DEMO_IN) | awk '{ print $$1 - 1.3 }'); \
	noise_in=$$(rms $(DEMO_IN) $$noise_at 1.2); speech_in=$$(rms $(DEMO_IN) $(DEMO_SPEECH)); \
	for m in classic adaptive; do \
	  out=$(DEMO_DIR)/demo-$$m.wav; \
	  awk -v m=$$m -v f="$$out" -v nb="$$noise_in" -v na="$$(rms $$out $$noise_at 1.2)" \
	      -v sb="$$speech_in" -v sa="$$(rms $$out $(DEMO_SPEECH))" 'BEGIN { \
	    printf "%-9s noise floor %.1f -> %.1f dBFS: dropped by %.1f dB; speech level %+.1f dB  (%s)\n", \
	           m, nb, na, nb - na, sa - sb, f }'; \
	done

clean:
	rm -rf $(BUILD)
