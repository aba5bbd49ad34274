#!/usr/bin/env bash
# Runs fuzz targets on their seed corpora.
#
#   fuzz/run.sh BUILD_DIR SECONDS [TARGET...]     (targets: pagestore index catalogue variants
#                                                   compose source pairs import_text
#                                                   import_aozora import_tei import_epub;
#                                                   default all)
#
# Each target runs SECONDS seconds; KOLVA_FUZZ_JOBS targets run at once (default: the number of
# processors). New inputs go to a scratch corpus, never into fuzz/corpus; logs and any crashing
# or hanging input land in KOLVA_FUZZ_OUT (default BUILD_DIR/runs/TARGET). Exits non-zero when a
# target found a crash, a leak, a hang (an input running over 10 s) or ran out of memory.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "$1" && pwd)"
seconds="$2"
shift 2
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(pagestore index catalogue variants compose source pairs
                                     import_text import_aozora import_tei import_epub)
jobs="${KOLVA_FUZZ_JOBS:-$(nproc)}"
out="${KOLVA_FUZZ_OUT:-$build/runs}"

# Largest input per target: room for a few pages, records or postings blocks.
declare -A max_len=([pagestore]=16384 [index]=65536 [catalogue]=16384 [variants]=4096
                    [compose]=16384 [source]=8192 [pairs]=1024 [import_text]=16384
                    [import_aozora]=16384 [import_tei]=16384 [import_epub]=65536)
declare -A dict=([pagestore]=html.dict [compose]=html.dict [source]=html.dict
                 [import_aozora]=import.dict [import_tei]=import.dict [import_epub]=import.dict)

# The scratch corpora and the data files the targets write live in memory when possible.
scratch_root=/dev/shm
if [ ! -w "$scratch_root" ] ||
   [ "$(df --output=avail -k "$scratch_root" 2>/dev/null | tail -1)" -lt 1048576 ] 2>/dev/null; then
    scratch_root="${TMPDIR:-/tmp}"
fi
scratch="$(mktemp -d "$scratch_root/kolva-fuzz-run-XXXXXX")"
trap 'rm -rf "$scratch"' EXIT

run_one() {
    local t="$1" dir="$out/$1"
    mkdir -p "$dir" "$scratch/$t/corpus" "$scratch/$t/tmp"
    rm -f "$dir"/log.txt "$dir"/crash-* "$dir"/leak-* "$dir"/timeout-* "$dir"/oom-* "$dir"/slow-unit-*
    # KOLVA_FUZZ_KEEP=1 keeps the inputs a run found in KOLVA_FUZZ_OUT/TARGET/corpus.
    local corpus="$scratch/$t/corpus"
    [ -n "${KOLVA_FUZZ_KEEP:-}" ] && corpus="$dir/corpus" && mkdir -p "$corpus"
    local extra=()
    [ -n "${dict[$t]:-}" ] && extra+=("-dict=$here/${dict[$t]}")
    TMPDIR="$scratch/$t/tmp" \
    ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=0" \
    UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
        "$build/bin/kolva_${t}_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2560 \
        -max_len="${max_len[$t]}" -print_final_stats=1 -artifact_prefix="$dir/" "${extra[@]}" \
        "$corpus" "$here/corpus/$t" >"$dir/log.txt" 2>&1
}

status=0
declare -A pid_target=()
finish() {
    local pid="$1" rc="$2" t="${pid_target[$1]}"
    unset "pid_target[$pid]"
    local line
    line="$(grep -E '^#[0-9]+.*DONE' "$out/$t/log.txt" | tail -1 || true)"
    if [ "$rc" -eq 0 ]; then
        echo "fuzz $t: ok ${line}"
    else
        echo "fuzz $t: FAILED (exit $rc); log and input in $out/$t"
        tail -n 40 "$out/$t/log.txt"
        status=1
    fi
}
for t in "${targets[@]}"; do
    [ -x "$build/bin/kolva_${t}_fuzz" ] || { echo "no fuzz target $t in $build"; exit 2; }
    while [ ${#pid_target[@]} -ge "$jobs" ]; do
        set +e; wait -n -p done_pid; rc=$?; set -e
        finish "$done_pid" "$rc"
    done
    run_one "$t" &
    pid_target[$!]="$t"
done
while [ ${#pid_target[@]} -gt 0 ]; do
    set +e; wait -n -p done_pid; rc=$?; set -e
    finish "$done_pid" "$rc"
done
exit "$status"
