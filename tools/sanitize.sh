#!/bin/sh
# Developer checks under clang's sanitizers, each in its own build folder
# beside the normal one (CI keeps its normal build):
#   tools/sanitize.sh asan           build-asan: the whole project and the
#                                    fuzz targets under AddressSanitizer +
#                                    UndefinedBehaviorSanitizer, then every test
#   tools/sanitize.sh tsan           build-tsan: the thread tests (reader
#                                    thread, port handlers, uploads) under
#                                    ThreadSanitizer, then runs them
#   tools/sanitize.sh fuzz [SECONDS | --runs N] [TARGET...]
#                                    every fuzz target (or those named) in
#                                    build-asan, each for SECONDS (default
#                                    600) or N executions, one at a time at
#                                    the lowest priority, from its seeds in
#                                    fuzz/corpus/; prints per target the
#                                    executions, exec/s (per second of the
#                                    clock and per second of CPU, which a
#                                    loaded machine does not change) and the
#                                    peak memory. The peak is mostly
#                                    AddressSanitizer's quarantine of freed
#                                    memory (256 MB of it by default), not
#                                    the targets' own. Logs, found inputs
#                                    and crashes go to build-asan/fuzz/, or
#                                    to FUZZ_LOGS when set.
#   tools/sanitize.sh                asan, then tsan
# Any sanitizer report fails the run. Installs clang and its sanitizer
# runtimes from Debian when missing.
set -eu
cd "$(dirname "$0")/.."
ROOT=$(pwd)
TOOLS="$ROOT/tools"
JOBS=${JOBS:-2}
THREAD_TESTS="test_tread test_link_handlers test_upload_handlers test_upload_faults
              test_upload_timeouts test_upload_end_to_end"

# configure DIR SANITIZERS [cmake options...]
configure() {
    dir=$1 sanitizers=$2
    shift 2
    CC=clang CXX=clang++ cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" \
        -DCMAKE_CXX_FLAGS="-fsanitize=$sanitizers -fno-omit-frame-pointer -fno-sanitize-recover=all" \
        -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=$sanitizers" "$@" >/dev/null
}

asan() {
    configure "$ROOT/build-asan" address,undefined -DBRENVALE_FUZZ=ON
    nice cmake --build "$ROOT/build-asan" -j "$JOBS"
    cd "$ROOT/build-asan"
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
        UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        QT_QPA_PLATFORM=offscreen nice ctest -j "$JOBS" --output-on-failure
}

tsan() {
    configure "$ROOT/build-tsan" thread
    # shellcheck disable=SC2086
    nice cmake --build "$ROOT/build-tsan" -j "$JOBS" --target $THREAD_TESTS
    cd "$ROOT/build-tsan"
    regex=$(echo $THREAD_TESTS | tr ' ' '|')
    TSAN_OPTIONS="suppressions=$TOOLS/tsan.supp:halt_on_error=1:second_deadlock_stack=1" \
        QT_QPA_PLATFORM=offscreen nice ctest -j "$JOBS" -R "^($regex)\$" --output-on-failure
}

# The longest input libFuzzer makes for a target: room for what its parser
# reads (a header, a packet, a few hundred rows of a data file), and short
# enough that each input stays cheap.
max_len() {
    case $1 in
    fuzz_data_file) echo 16384 ;;
    fuzz_packet_decode | fuzz_reader_framing) echo 4096 ;;
    fuzz_header_decode) echo 2048 ;;
    *) echo 1024 ;;
    esac
}

fuzz() {
    limit="-max_total_time=600"
    case "${1:-}" in
    --runs)
        limit="-runs=$2"
        shift 2
        ;;
    [0-9]*)
        limit="-max_total_time=$1"
        shift
        ;;
    esac
    logs=${FUZZ_LOGS:-$ROOT/build-asan/fuzz}
    mkdir -p "$logs"
    [ -d "$ROOT/build-asan/fuzz" ] || configure "$ROOT/build-asan" address,undefined -DBRENVALE_FUZZ=ON
    targets=${*:-$(cd "$ROOT/fuzz" && ls fuzz_*.cpp | sed 's/\.cpp$//')}
    # shellcheck disable=SC2086
    nice cmake --build "$ROOT/build-asan" -j "$JOBS" --target $targets
    # Qt is built without frame pointers, so allocation stacks deeper than
    # the allocating function run into garbage: each input would add new
    # "unique" stacks to AddressSanitizer's depot, which then takes most of
    # the time and memory. Rerun a crashing input with ASAN_OPTIONS= for the
    # full allocation stack.
    export ASAN_OPTIONS="${ASAN_OPTIONS:-malloc_context_size=2}"
    failed=0
    for t in $targets; do
        corpus="$logs/corpus-$t"
        mkdir -p "$corpus"
        log="$logs/$t.log"
        status=0
        # New inputs go to the log folder's corpus; the seeds of fuzz/corpus stay as they are.
        /usr/bin/time -f "%U %S" -o "$log.cpu" nice -n 19 "$ROOT/build-asan/fuzz/$t" \
            "$corpus" "$ROOT/fuzz/corpus/$t" "$limit" -max_len="$(max_len "$t")" \
            -print_final_stats=1 -rss_limit_mb=2048 -artifact_prefix="$logs/$t-" \
            >"$log" 2>&1 || status=$?
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
        peak=$(sed -n 's/^stat::peak_rss_mb: *//p' "$log")
        # The times are the last line: a run ended by a signal has a line about it first.
        cpu=$(awk 'END { printf "%.0f", $1 + $2 }' "$log.cpu")
        perCpu=$(awk -v r="${runs:-0}" 'END { s = $1 + $2; printf "%.0f", (s > 0 ? r / s : 0) }' "$log.cpu")
        echo "$t: ${runs:-?} executions, ${rate:-?} exec/s ($perCpu per CPU second, ${cpu} s of CPU)," \
            "peak ${peak:-?} MB, exit $status (log $log)"
        [ "$status" -eq 0 ] || failed=1
    done
    return $failed
}

"$ROOT/brenvale.sh" deps clang libclang-rt-14-dev time
case "${1:-all}" in
asan) asan ;;
tsan) tsan ;;
fuzz)
    shift
    fuzz "$@"
    ;;
all)
    asan
    tsan
    ;;
*)
    echo "usage: $0 [asan|tsan|fuzz [SECONDS | --runs N] [TARGET...]|all]" >&2
    exit 2
    ;;
esac
