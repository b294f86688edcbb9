# Convenience targets; each installs what is missing first (Debian 12, as root).
.PHONY: test sanitize-test clean
test:
	bash scripts/test.sh
sanitize-test:
	bash scripts/test.sh --sanitize
clean:
	rm -rf build build-sanitize
