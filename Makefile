# Convenience targets; each installs what is missing first (Debian 12, as root).
.PHONY: test sanitize-test demo examples clean
test:
	bash scripts/test.sh
sanitize-test:
	bash scripts/test.sh --sanitize
demo:
	bash scripts/demo.sh
# Rewrites the example rule files through the library (after changing examples/MakeExamples.cpp).
examples:
	bash scripts/install-deps.sh
	cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build build -j "$$(nproc)" --target ostak_make_examples
	build/examples/ostak_make_examples . examples
clean:
	rm -rf build build-sanitize
