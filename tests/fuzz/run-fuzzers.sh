#!/bin/sh
# Runs every fuzz target of a fuzz build for a bounded time and fails on the
# first finding: a crash, a leak, a sanitizer report or an input slower than
# one second. Usage: run-fuzzers.sh <fuzz build folder> <seconds per target>
#
# Corpora grow in <build>/fuzz/corpus/<target> across runs; the seeds written
# by traxo_fuzz_seeds are read from <build>/fuzz/seeds/<target>. A finding is
# saved as <build>/fuzz/findings/<target>/crash-<sha1> (or leak-, timeout-,
# oom-); replay it with <build>/bin/<target> <that file>.
set -u
build=$1
seconds=$2
src=$(cd "$(dirname "$0")/../.." && pwd)

"$build/bin/traxo_fuzz_seeds" "$build/fuzz/seeds" "$src" || exit 1

status=0
summary=""
for fuzzer in "$build"/bin/fuzz_*; do
	[ -x "$fuzzer" ] || continue
	name=$(basename "$fuzzer")
	mkdir -p "$build/fuzz/corpus/$name" "$build/fuzz/findings/$name"
	log="$build/fuzz/$name.log"
	echo "== $name: $seconds s"
	QT_LOGGING_RULES="*.debug=false" ASAN_OPTIONS="detect_leaks=1" \
		UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
		"$fuzzer" -max_total_time="$seconds" -timeout=1 -rss_limit_mb=2048 \
		-print_final_stats=1 -artifact_prefix="$build/fuzz/findings/$name/" \
		"$build/fuzz/corpus/$name" "$build/fuzz/seeds/$name" >"$log" 2>&1
	rc=$?
	runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
	time=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log" | tail -n 1)
	if [ "$rc" -ne 0 ]; then
		status=1
		tail -n 60 "$log"
		line="$name: FINDING (exit $rc), see $log and $build/fuzz/findings/$name/"
	elif [ -n "$runs" ] && [ -n "$time" ] && [ "$time" -gt 0 ]; then
		line="$name: $runs runs in $time s, $((runs / time)) exec/s"
	else
		line="$name: ${runs:-?} runs"
	fi
	echo "$line"
	summary="$summary$line
"
done
echo "== fuzzing summary"
printf '%s' "$summary"
exit $status
