# Sourced by the shell tests: one line per check, a count of the failed ones
# and the closing verdict.
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

pass() {
  echo "ok: $*"
}

# The last call of a test: exit status 1 when a check failed.
finish() { # what was checked
  if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
  fi
  echo "all $1 checks passed"
}
