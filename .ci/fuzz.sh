#!/usr/bin/env bash
# Continuous integration: every fuzz target for a bounded time each (the
# first argument, in seconds; default 60), one after the other. Fails on any
# crash, leak, hang or sanitizer report.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
echo "== fuzz targets, ${1:-60} s each"
# A fixed seed: each CI run explores the same way from the same seeds, so a
# failure here is one that the run before the submission would have shown
# too; longer runs with fresh seeds belong to scripts/fuzz.
"$root/scripts/fuzz" all "${1:-60}" -seed=1
