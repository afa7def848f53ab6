#!/bin/sh
# The browser build and its test in a real browser: builds the site with
# tools/web.sh (its libraries come from a cache outside the checkout, built
# once), installs playwright-core from the lock file (it never downloads a
# browser) and plays the game in Debian's chromium, headless
# (tests/web/browser_test.mjs), on a server of its own on 127.0.0.1.
set -eu
cd "$(dirname "$0")/.."
tools/web.sh
(cd tests/web && npm ci --no-audit --no-fund --loglevel=error)
timeout 600 node tests/web/browser_test.mjs build-web/site
