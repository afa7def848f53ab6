#!/bin/sh
# The browser build and its test in a real browser: builds the site with
# tools/web.sh (its libraries come from a cache outside the checkout, built
# once), installs playwright-core and Lighthouse from the lock file (neither
# downloads a browser) and plays the game in Debian's chromium, headless
# (tests/web/browser_test.mjs), on a server of its own on 127.0.0.1; then
# Lighthouse scores the page (tests/web/lighthouse.mjs).
set -eu
cd "$(dirname "$0")/.."
tools/web.sh
(cd tests/web && npm ci --no-audit --no-fund --loglevel=error)
timeout 600 node tests/web/browser_test.mjs build-web/site
timeout 400 node tests/web/lighthouse.mjs build-web/site
