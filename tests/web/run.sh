#!/usr/bin/env bash
# Runs the browser tests in headless Chromium: installs puppeteer-core from
# the lock file when it is missing (it downloads no browser: Debian's
# chromium is used), then node's test runner over tests/web/*.test.mjs.
# Needs the web build (build/web), ostrel-cli and ostrel-server of the native
# build; the office's tests run on SQLite and, when OSTREL_TEST_POSTGRESQL
# names a cluster (scripts/test starts one), on PostgreSQL too.
# Prints the runner's output; the last line is "web: N passed, M failed".
set -uo pipefail
cd "$(dirname "$0")"
if ! command -v npm >/dev/null; then
  # Debian's node comes without npm.
  sudo=; [ "$(id -u)" -ne 0 ] && sudo=sudo
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends npm >/dev/null >&2 || {
    echo "web: 0 passed, 1 failed"; exit 1; }
fi
if [ ! -d node_modules/puppeteer-core ] || [ ! -d node_modules/axe-core ]; then
  PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error >&2 || {
    echo "web: 0 passed, 1 failed"; exit 1; }
fi
log=$(mktemp)
trap 'rm -f "$log"' EXIT
node --test --test-concurrency=1 --test-reporter=tap ./*.test.mjs | tee "$log"
status=${PIPESTATUS[0]}
passed=$(sed -n 's/^# pass \([0-9]*\)$/\1/p' "$log")
failed=$(sed -n 's/^# fail \([0-9]*\)$/\1/p' "$log")
[ -z "$passed" ] && { passed=0; failed=1; status=1; }
echo "web: $passed passed, ${failed:-0} failed"
exit "$status"
