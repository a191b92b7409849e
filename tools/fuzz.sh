#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build.
#   tools/fuzz.sh BUILD_DIR smoke      each target once over its generated seed corpus
#   tools/fuzz.sh BUILD_DIR SECONDS    each target for SECONDS, growing its corpus
set -euo pipefail
build=$1
mode=${2:-smoke}
bin=$build/bin
status=0
shopt -s nullglob
targets=("$bin"/fuzz_*)
if [ ${#targets[@]} -eq 0 ]; then
    echo "fuzz: no fuzz targets built"
    exit 0
fi
for target in "${targets[@]}"; do
    name=$(basename "$target")
    name=${name#fuzz_}
    corpus=$build/corpus/$name
    mkdir -p "$corpus"
    [ -x "$bin/seeds_$name" ] && "$bin/seeds_$name" "$corpus"
    if [ "$mode" = smoke ]; then
        echo "fuzz: $name over $(ls "$corpus" | wc -l) seeds"
        "$target" -runs=0 "$corpus" >"$build/$name.log" 2>&1 || { status=1; tail -40 "$build/$name.log"; }
    else
        echo "fuzz: $name for ${mode}s"
        "$target" -max_total_time="$mode" -timeout=10 -rss_limit_mb=2048 "$corpus" \
            >"$build/$name.log" 2>&1 || { status=1; tail -60 "$build/$name.log"; }
    fi
done
passed=0
failed=0
for target in "${targets[@]}"; do
    name=$(basename "$target"); name=${name#fuzz_}
    if grep -qE 'ERROR: (libFuzzer|AddressSanitizer)|runtime error|SUMMARY:' "$build/$name.log"; then
        failed=$((failed + 1))
    else
        passed=$((passed + 1))
    fi
done
echo "fuzz: $passed passed, $failed failed"
[ $failed -eq 0 ] || status=1
exit $status
