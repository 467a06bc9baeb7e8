#!/usr/bin/env bash
# Measures the table engine on inventory tables of 100,000 and 1,000,000 records and sets the
# figures beside other readers of the same file in the same run: `vantorel-dbf dump`, ogr2ogr
# (GDAL's converter, package gdal-bin) and plain cat. The page cache is warm for every read, and
# each read is the best of several runs, so the figures compare the programs, not the disk.
#
# Usage: bench/run_table_bench.sh [options]
#   --build-dir DIR   build folder holding bench/bench_table and tools/vantorel-dbf
#                     (default: $BUILD_DIR, else build/dev of this source tree)
#   --dir DIR         scratch folder for the tables (default: a new folder under $TMPDIR or /tmp)
#   --records "N..."  table sizes (default: "100000 1000000")
#   --repeat R        runs of each read, the fastest counts (default: 3)
#   --keep            keep the tables and the converter's output
#
# A table of 1,000,000 records takes about 670 MB, and the converter writes about 280 MB more.

set -euo pipefail
export LC_ALL=C # a decimal point in $EPOCHREALTIME and in every number printed

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build_dir=${BUILD_DIR:-$here/../build/dev}
scratch=
sizes="100000 1000000"
repeat=3
keep=0

die() {
    echo "run_table_bench: $*" >&2
    exit 1
}

while (($#)); do
    case $1 in
    --build-dir) build_dir=${2:?--build-dir needs a folder}; shift 2 ;;
    --dir) scratch=${2:?--dir needs a folder}; shift 2 ;;
    --records) sizes=${2:?--records needs sizes}; shift 2 ;;
    --repeat) repeat=${2:?--repeat needs a number}; shift 2 ;;
    --keep) keep=1; shift ;;
    -h | --help) sed -n '2,15p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) die "unknown option $1 (try --help)" ;;
    esac
done

[[ $repeat =~ ^[1-9][0-9]?$ ]] || die "--repeat wants a number from 1 to 99"
for n in $sizes; do
    [[ $n =~ ^[1-9][0-9]*$ ]] || die "--records wants whole numbers, not '$n'"
done

bench=$build_dir/bench/bench_table
dbf_tool=$build_dir/tools/vantorel-dbf
[[ -x $bench ]] || die "$bench not found: build the target bench_table, or give --build-dir"
[[ -x $dbf_tool ]] || die "$dbf_tool not found: build the target vantorel-dbf, or give --build-dir"
have_ogr=0
command -v ogr2ogr >/dev/null && have_ogr=1

made_scratch=0
if [[ -z $scratch ]]; then
    scratch=$(mktemp -d "${TMPDIR:-/tmp}/vantorel-bench.XXXXXX")
    made_scratch=1
fi
mkdir -p "$scratch"
results=$(mktemp "${TMPDIR:-/tmp}/vantorel-bench-results.XXXXXX")
made_files=()

cleanup() {
    rm -f "$results"
    if ((keep)); then
        ((${#made_files[@]})) && echo "Kept in $scratch: ${made_files[*]##*/}"
        return
    fi
    ((${#made_files[@]})) && rm -f "${made_files[@]}"
    if ((made_scratch)); then rmdir "$scratch" 2>/dev/null || true; fi
}
trap cleanup EXIT

# best_time OUTPUT COMMAND...: the shortest wall time of $repeat runs, in seconds; the
# command's standard output goes to OUTPUT. $before_each, when set, runs untimed before each.
before_each=
best_time() {
    local out=$1 best='' t0 t1 i
    shift
    for ((i = 0; i < repeat; i++)); do
        [[ -n $before_each ]] && $before_each
        t0=$EPOCHREALTIME
        "$@" >"$out" || die "failed: $*"
        t1=$EPOCHREALTIME
        best=$(awk -v a="$t0" -v b="$t1" -v best="$best" \
            'BEGIN { t = b - a; if (best == "" || t < best) best = t; printf "%.6f", best }')
    done
    echo "$best"
}

record() { printf '%s\t%s\t%s\t%s\n' "$@" >>"$results"; }

for n in $sizes; do
    table=$scratch/inv$n.dbf
    csv=$scratch/inv$n.csv
    made_files+=("$table" "$csv")

    need_kb=$(((n * 671 + n * 300) / 1024 + 10240))
    free_kb=$(df -Pk "$scratch" | awk 'NR == 2 { print $4 }')
    ((free_kb > need_kb)) || die "$scratch has ${free_kb} KB free; $n records need about ${need_kb} KB"

    echo "== $n records: creating $table" >&2
    "$bench" create "$table" "$n" >>"$results" || die "bench_table create failed"
    record filesize "$n" 0 "$(stat -c %s "$table")"
    # Written pages go to disk now, not in the middle of a timed read; then one untimed read
    # brings the whole file into the page cache.
    sync -- "$table"
    cat -- "$table" >/dev/null

    echo "== $n records: reading through the engine" >&2
    "$bench" scan "$table" "$repeat" >>"$results" || die "bench_table scan failed"

    echo "== $n records: vantorel-dbf dump" >&2
    record dump "$n" "$(best_time /dev/null "$dbf_tool" dump "$table")" ""

    if ((have_ogr)); then
        echo "== $n records: ogr2ogr" >&2
        drop_csv() { rm -f -- "$csv"; }
        before_each=drop_csv
        record ogr2ogr "$n" "$(best_time /dev/null ogr2ogr -f CSV "$csv" "$table")" ""
        before_each=
        lines=$(wc -l <"$csv")
        ((lines == n + 1)) || die "ogr2ogr wrote $lines lines for $n records"
        # The same conversion into /dev/null, as the dump does: no file written.
        record ogr2ogr_stdout "$n" "$(best_time /dev/null ogr2ogr -f CSV /vsistdout/ "$table")" ""
    fi

    echo "== $n records: cat" >&2
    record cat "$n" "$(best_time /dev/null cat -- "$table")" ""

    if ((!keep)); then rm -f -- "$table" "$csv"; fi
done

cpu=$(awk -F': *' '/^model name/ { print $2; exit }' /proc/cpuinfo 2>/dev/null || true)
echo
echo "Table engine benchmark: ${cpu:-unknown CPU}, $(nproc) CPUs, warm page cache, best of $repeat runs"
((have_ogr)) || echo "ogr2ogr is missing (Debian package gdal-bin): its rows and ratios are skipped"
awk -F'\t' -v have_ogr="$have_ogr" '
function grouped(x,    s, out) {
    s = sprintf("%.0f", x); out = ""
    while (length(s) > 3) { out = "," substr(s, length(s) - 2) out; s = substr(s, 1, length(s) - 3) }
    return s out
}
function row(n, key, label,    t) {
    if (!((n, key) in secs)) return
    t = secs[n, key]
    printf "  %9s  %-42s %9.4f %12s %9.1f\n", grouped(n), label, t, grouped(n / t), size[n] / t / 1e6
}
function ratio(label, top, bottom, note,    i, n, line) {
    line = sprintf("  %-42s", label)
    for (i = 1; i <= count; i++) {
        n = order[i]
        if ((n, top) in secs && (n, bottom) in secs)
            line = line sprintf(" %12.2f", secs[n, top] / secs[n, bottom])
        else
            line = line sprintf(" %12s", "n/a")
    }
    print line "   " note
}
{
    n = $2
    if (!(n in seen)) { seen[n] = 1; order[++count] = n }
    if ($1 == "filesize") size[n] = $4
    else if ($1 == "peak_heap") { heap[n] = $4; allocations[n] = $5 }
    else secs[n, $1] = $3
}
END {
    printf "\n  %9s  %-42s %9s %12s %9s\n", "records", "step", "seconds", "records/s", "MB/s"
    for (i = 1; i <= count; i++) {
        n = order[i]
        row(n, "create", "create: Table::create, insert ... post")
        row(n, "scan_cursor", "engine: first/next only, no field read")
        row(n, "scan_text", "engine: every field as text (appendText)")
        row(n, "dump", "vantorel-dbf dump > /dev/null")
        row(n, "ogr2ogr", "ogr2ogr -f CSV file.csv")
        row(n, "ogr2ogr_stdout", "ogr2ogr -f CSV /vsistdout/ > /dev/null")
        row(n, "cat", "cat > /dev/null")
        printf "  %9s  %-42s %s bytes (%.2f MB), %s allocations\n", grouped(n),
            "peak heap during the text pass", grouped(heap[n]), heap[n] / 1048576, grouped(allocations[n])
        print ""
    }
    line = sprintf("  %-42s", "ratio of times")
    for (i = 1; i <= count; i++) line = line sprintf(" %12s", grouped(order[i]))
    print line
    ratio("ogr2ogr / dump", "ogr2ogr", "dump", "(dump is this many times faster)")
    ratio("ogr2ogr to /dev/null / dump", "ogr2ogr_stdout", "dump", "")
    ratio("dump / cat", "dump", "cat", "")
    ratio("engine read / cat", "scan_text", "cat", "")
    ratio("engine read / cursor only", "scan_text", "scan_cursor", "")

    n = order[count]
    printf "\nTargets, at %s records:\n", grouped(n)
    rate = n / secs[n, "scan_text"]
    printf "  every field of every record at >= 1,000,000 records/s: %s records/s  %s\n",
        grouped(rate), (rate >= 1e6 ? "MET" : "MISSED")
    if (have_ogr) {
        r = secs[n, "ogr2ogr"] / secs[n, "dump"]
        printf "  vantorel-dbf dump >= 10 times faster than ogr2ogr:     %.1f times  %s\n", r,
            (r >= 10 ? "MET" : "MISSED")
    } else {
        print "  vantorel-dbf dump >= 10 times faster than ogr2ogr:     not measured (no ogr2ogr)"
    }
    printf "  peak heap while reading every record < 64 MB:          %.2f MB  %s\n",
        heap[n] / 1048576, (heap[n] < 64 * 1048576 ? "MET" : "MISSED")
}' "$results"
