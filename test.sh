#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine if needed, builds everything and runs every test under Wine.
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
trap '"$top/scripts/winstop"' EXIT
"$top/scripts/build.sh"
cd "$top/build"
# Now and then, about once in several hundred starts under load, a test's Wine process ends at once
# with no output at all, before the test program has printed a line. Such a test is run once more,
# and said so; a test that fails with output of its own fails the run as it is.
if ! ctest --output-on-failure -j 2 "$@"; then
  log=Testing/Temporary/LastTest.log
  silent=$(awk '/^[0-9]+\/[0-9]+ Testing: /{name=substr($0, index($0, "Testing: ") + 9); sub(/  # .*/, "", name)}
                /^Output:/{getline; getline; if ($0 == "<end of output>") print name}' "$log" | sort -u)
  failed=$(sed -n 's/^[0-9]*:\(.*\)$/\1/p' Testing/Temporary/LastTestsFailed.log | sed 's/  # .*//' | sort -u)
  if [ -z "$failed" ] || [ "$(comm -23 <(echo "$failed") <(echo "$silent"))" != "" ]; then
    # ctest prints a failure's output where it happened, hundreds of lines up; a reader of the end
    # of the log (CI keeps only that) sees each failed test's last lines again here.
    echo "test.sh: the end of each failed test's output:"
    while read -r name; do
      [ -n "$name" ] || continue
      echo "---- $name"
      awk -v name="$name" '/^[0-9]+\/[0-9]+ Testing: /{t=substr($0, index($0, "Testing: ") + 9); sub(/  # .*/, "", t); on=0}
                           t == name && /^Output:/{on=1; getline; next}
                           on && /^<end of output>/{on=0}
                           on' "$log" | tail -n 40
    done <<< "$failed"
    exit 1
  fi
  echo "test.sh: these tests ended with no output at all and are run once more:"
  echo "$failed" | sed 's/^/  /'
  ctest --output-on-failure --rerun-failed
fi
