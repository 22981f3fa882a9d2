#!/usr/bin/env bash
# Runs a build tree's test suite, then lists its ten slowest tests and the
# share of its time-out each one took, so that a test drifting towards its
# limit is seen on a fast machine before a slower one fails it. The suite's
# status is the script's status.
#
#     scripts/run-tests.sh BUILD_DIR [CTEST_OPTION...]
set -uo pipefail
if [ "${1-}" = --help ]; then
  echo "usage: scripts/run-tests.sh BUILD_DIR [CTEST_OPTION...]"
  exit 0
fi
if [ $# -lt 1 ]; then
  echo "run-tests.sh: no build folder given" >&2
  exit 2
fi
scripts=$(dirname "$(readlink -f "$0")")
cd "$1" || exit 1
shift
junit=Testing/junit.xml
rm -f "$junit"
ctest --output-on-failure --output-junit "$junit" "$@"
status=$?
if [ -f "$junit" ]; then
  ctest --show-only=json-v1 > Testing/tests.json 2>/dev/null &&
    python3 "$scripts/slowest-tests.py" "$junit" Testing/tests.json
fi
exit $status
