# What the script tests share, sourced first with the test's arguments (SOURCE_DIR BUILD_DIR):
# strict mode, a count of failures and a scratch folder removed on exit.
set -uo pipefail
src=$1
bin=$2
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
