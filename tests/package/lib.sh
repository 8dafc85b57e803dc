# Shared by the package tests: each check is one test case, and the results
# go into a file in GoogleTest's XML form, which scripts/test counts.
# shellcheck shell=bash

source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib.sh"

CHECK_SUITE=
CHECK_XML=
CHECK_CASES=
CHECK_TESTS=0
CHECK_FAILURES=0
CHECK_LOG=$(mktemp)

# begin_checks SUITE XML: starts a suite whose results go to XML.
begin_checks() {
  CHECK_SUITE=$1 CHECK_XML=$2
  mkdir -p "$(dirname "$CHECK_XML")"
  rm -f "$CHECK_XML"
}

xml_escape() { sed -e 's/&/\&amp;/g' -e 's/</\&lt;/g' -e 's/>/\&gt;/g' -e 's/"/\&quot;/g'; }

# check NAME COMMAND...: runs the command; it passes when the command succeeds.
# Its output is shown, and kept in the results, only when it fails.
check() {
  local name=$1; shift
  CHECK_TESTS=$((CHECK_TESTS + 1))
  if "$@" >"$CHECK_LOG" 2>&1; then
    echo "[  PASSED  ] $CHECK_SUITE.$name"
    CHECK_CASES+="    <testcase name=\"$name\" status=\"run\" classname=\"$CHECK_SUITE\"/>"$'\n'
  else
    CHECK_FAILURES=$((CHECK_FAILURES + 1))
    echo "[  FAILED  ] $CHECK_SUITE.$name"
    sed 's/^/    /' "$CHECK_LOG" | tail -40
    CHECK_CASES+="    <testcase name=\"$name\" status=\"run\" classname=\"$CHECK_SUITE\">"$'\n'
    CHECK_CASES+="      <failure message=\"$(tail -5 "$CHECK_LOG" | tr '\n' ' ' | xml_escape)\"/>"$'\n'
    CHECK_CASES+="    </testcase>"$'\n'
  fi
}

# Writes the results; the status is 1 when a check failed.
end_checks() {
  {
    echo '<?xml version="1.0" encoding="UTF-8"?>'
    echo "<testsuites tests=\"$CHECK_TESTS\" failures=\"$CHECK_FAILURES\" disabled=\"0\" errors=\"0\" name=\"AllTests\">"
    echo "  <testsuite name=\"$CHECK_SUITE\" tests=\"$CHECK_TESTS\" failures=\"$CHECK_FAILURES\" disabled=\"0\" errors=\"0\">"
    printf '%s' "$CHECK_CASES"
    echo "  </testsuite>"
    echo "</testsuites>"
  } >"$CHECK_XML"
  rm -f "$CHECK_LOG"
  echo "$CHECK_SUITE: $((CHECK_TESTS - CHECK_FAILURES)) passed, $CHECK_FAILURES failed"
  [ "$CHECK_FAILURES" -eq 0 ]
}

# The helpers the checks run.
same_text() {  # same_text EXPECTED COMMAND...: the command prints exactly EXPECTED
  local expected=$1 actual; shift
  actual=$("$@") || { echo "failed: $*"; return 1; }
  [ "$actual" = "$expected" ] || { echo "expected \"$expected\", got \"$actual\""; return 1; }
}
