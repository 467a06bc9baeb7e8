#!/usr/bin/env bash
# Measures the production index on inventory tables of 100,000 and 1,000,000 records, in one
# run with a warm page cache: building a tag, `sort` on the same keys, opening in tag order,
# reading in tag order against record order, inserting into the indexed table and looking up
# keys, with the pages each lookup reads (from a syscall trace, when strace is installed) and
# the depth of the tree. When Free Pascal and its database units are installed, TDbf builds the
# same tag on a copy of the same table and reads it in tag order, as a reference.
#
# Usage: bench/run_index_bench.sh [options]
#   --build-dir DIR   build folder holding bench/bench_table and bench/bench_index
#                     (default: $BUILD_DIR, else build/dev of this source tree)
#   --dir DIR         scratch folder for the tables (default: a new folder under $TMPDIR or /tmp)
#   --records "N..."  table sizes (default: "100000 1000000")
#   --repeat R        runs of each timed step, the fastest counts (default: 3)
#   --lookups N       findNearest calls per run (default: 10000)
#   --inserts N       records inserted into the indexed table (default: 10000)
#   --no-tdbf         skip the TDbf reference
#   --keep            keep the tables, indexes and key files
#
# A table of 1,000,000 records takes about 670 MB, its index 47 MB, its keys 41 MB; the TDbf
# reference copies the table.

set -euo pipefail
export LC_ALL=C # a decimal point in $EPOCHREALTIME and in every number printed; byte order

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build_dir=${BUILD_DIR:-$here/../build/dev}
scratch=
sizes="100000 1000000"
repeat=3
lookups=10000
inserts=10000
want_tdbf=1
keep=0
tdbf_limit=120 # seconds TDbf may take for one step before it is given up

die() {
    echo "run_index_bench: $*" >&2
    exit 1
}

while (($#)); do
    case $1 in
    --build-dir) build_dir=${2:?--build-dir needs a folder}; shift 2 ;;
    --dir) scratch=${2:?--dir needs a folder}; shift 2 ;;
    --records) sizes=${2:?--records needs sizes}; shift 2 ;;
    --repeat) repeat=${2:?--repeat needs a number}; shift 2 ;;
    --lookups) lookups=${2:?--lookups needs a number}; shift 2 ;;
    --inserts) inserts=${2:?--inserts needs a number}; shift 2 ;;
    --no-tdbf) want_tdbf=0; shift ;;
    --keep) keep=1; shift ;;
    -h | --help) sed -n '2,20p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) die "unknown option $1 (try --help)" ;;
    esac
done

[[ $repeat =~ ^[1-9][0-9]?$ ]] || die "--repeat wants a number from 1 to 99"
[[ $lookups =~ ^[1-9][0-9]*$ ]] || die "--lookups wants a whole number"
[[ $inserts =~ ^[1-9][0-9]*$ ]] || die "--inserts wants a whole number"
for n in $sizes; do
    [[ $n =~ ^[1-9][0-9]*$ ]] || die "--records wants whole numbers, not '$n'"
done

bench_table=$build_dir/bench/bench_table
bench_index=$build_dir/bench/bench_index
[[ -x $bench_table ]] || die "$bench_table not found: build the target bench_table, or give --build-dir"
[[ -x $bench_index ]] || die "$bench_index not found: build the target bench_index, or give --build-dir"
have_strace=0
command -v strace >/dev/null && have_strace=1

made_scratch=0
if [[ -z $scratch ]]; then
    scratch=$(mktemp -d "${TMPDIR:-/tmp}/vantorel-index-bench.XXXXXX")
    made_scratch=1
fi
mkdir -p "$scratch"
results=$(mktemp "${TMPDIR:-/tmp}/vantorel-index-results.XXXXXX")
notes=$(mktemp "${TMPDIR:-/tmp}/vantorel-index-notes.XXXXXX")
made_files=()
tdbf_dir=

cleanup() {
    rm -f "$results" "$notes"
    [[ -n $tdbf_dir ]] && rm -rf "$tdbf_dir"
    if ((keep)); then
        ((${#made_files[@]})) && echo "Kept in $scratch: ${made_files[*]##*/}"
        return
    fi
    ((${#made_files[@]})) && rm -f "${made_files[@]}"
    if ((made_scratch)); then rmdir "$scratch" 2>/dev/null || true; fi
}
trap cleanup EXIT

note() { echo "$*" >>"$notes"; }
record() { printf '%s\t%s\t%s\t%s\n' "$@" >>"$results"; }

# TDbf: a small Pascal program compiled here, if the compiler and TDbf's units are at hand.
tdbf=
if ((want_tdbf)); then
    if command -v fpc >/dev/null; then
        tdbf_dir=$(mktemp -d "${TMPDIR:-/tmp}/vantorel-tdbf.XXXXXX")
        if fpc -O2 -l- -v0e -FU"$tdbf_dir" -o"$tdbf_dir/tdbf_index_bench" \
            "$here/tdbf_index_bench.pas" >"$tdbf_dir/fpc.log" 2>&1; then
            tdbf=$tdbf_dir/tdbf_index_bench
        else
            note "TDbf reference skipped: fpc could not compile it (is fp-units-db installed?)"
        fi
    else
        note "TDbf reference skipped: no fpc (Debian packages fpc and fp-units-db)"
    fi
else
    note "TDbf reference skipped (--no-tdbf)"
fi
((have_strace)) || note "pages per lookup not traced: strace is missing (Debian package strace)"

# best_time COMMAND...: the shortest wall time of $repeat runs, in seconds; the command's
# standard output goes to /dev/null.
best_time() {
    local best='' t0 t1 i
    for ((i = 0; i < repeat; i++)); do
        t0=$EPOCHREALTIME
        "$@" >/dev/null || die "failed: $*"
        t1=$EPOCHREALTIME
        best=$(awk -v a="$t0" -v b="$t1" -v best="$best" \
            'BEGIN { t = b - a; if (best == "" || t < best) best = t; printf "%.6f", best }')
    done
    echo "$best"
}

# trace_lookups N TABLE RECORD_LENGTH [--exclusive]: the preads and locks of N lookups, from a
# trace of one run between the program's two marks on stderr. Prints one result line with,
# per lookup: tree nodes read, distinct tree nodes, index file and tag header reads, record
# reads, and lock calls.
trace_lookups() {
    local n=$1 table=$2 reclen=$3 mode=$4 trace=$scratch/lookups.trace
    shift 4
    strace -s 0 -e trace=pread64,write,fcntl -o "$trace" \
        "$bench_index" lookup "$table" "$lookups" --repeat 1 --mark "$@" >/dev/null 2>&1 ||
        die "strace of bench_index lookup failed"
    awk -v n="$n" -v lookups="$lookups" -v reclen="$reclen" -v mode="$mode" '
    /^write\(2,/ { inside = !inside; next }
    !inside { next }
    /^fcntl\(/ { locks++; next }
    /^pread64\(/ {
        # pread64(FD, ""..., SIZE, OFFSET) = GOT
        split($0, part, ", ")
        size = part[3] + 0; offset = part[4] + 0
        if (size == 2048 && offset == 0) headers++
        else if (size == 1024 && offset == 2048) headers++ # the tag header block
        else if (size == 1024) {
            nodes++
            if (!((lookup, offset) in seen)) { seen[lookup, offset] = 1; distinct++ }
        } else if (size == reclen) { records++; lookup++ }
        else other++
    }
    END {
        printf "pages_%s\t%s\t0\t%.2f\t%.2f\t%.2f\t%.2f\t%.2f\n", mode, n, nodes / lookups,
            distinct / lookups, headers / lookups, records / lookups, locks / lookups
    }' "$trace"
    rm -f "$trace"
}

for n in $sizes; do
    table=$scratch/inv$n.dbf
    index=$scratch/inv$n.MDX
    keys=$scratch/keys$n.txt
    tag_keys=$scratch/tagkeys$n.txt
    copy=$scratch/tdbf$n.dbf
    made_files+=("$table" "$index" "$keys" "$tag_keys")

    need_kb=$(((n * 671 + n * 50 + n * 41 * 2) / 1024 + 10240))
    [[ -n $tdbf ]] && need_kb=$((need_kb + (n * 671 + n * 70) / 1024))
    free_kb=$(df -Pk "$scratch" | awk 'NR == 2 { print $4 }')
    ((free_kb > need_kb)) || die "$scratch has ${free_kb} KB free; $n records need about ${need_kb} KB"

    echo "== $n records: creating $table" >&2
    created=$("$bench_table" create "$table" "$n") || die "bench_table create failed"
    reclen=$(cut -f4 <<<"$created") # the record length tells record reads from index reads
    if [[ -n $tdbf ]]; then
        cp -- "$table" "$copy"
        made_files+=("$copy" "$scratch/tdbf$n.mdx")
    fi
    # Written pages go to disk now, not in the middle of a timed step; then one untimed read
    # brings the whole table into the page cache.
    sync
    cat -- "$table" >/dev/null

    echo "== $n records: building the tag" >&2
    "$bench_index" build "$table" "$repeat" >>"$results" || die "bench_index build failed"
    sync -- "$index"

    echo "== $n records: sort on the same keys" >&2
    "$bench_index" keys "$table" "$keys" >>"$results" || die "bench_index keys failed"
    "$bench_index" keys "$table" "$tag_keys" --tag-order >/dev/null || die "bench_index keys failed"
    # Untimed: the tag holds the keys in the order sort gives them.
    sort -- "$keys" | cmp -s - "$tag_keys" || die "the tag's order is not sort's order"
    record sort "$n" "$(best_time sort -- "$keys")" ""
    record sort_single "$n" "$(best_time sort --parallel=1 -- "$keys")" ""

    echo "== $n records: opening in tag order" >&2
    "$bench_index" open "$table" 21 >>"$results" || die "bench_index open failed"

    echo "== $n records: reading in tag order and in record order" >&2
    "$bench_index" read "$table" "$repeat" >>"$results" || die "bench_index read failed"

    echo "== $n records: lookups" >&2
    "$bench_index" depth "$table" >>"$results" || die "bench_index depth failed"
    "$bench_index" lookup "$table" "$lookups" --repeat "$repeat" >>"$results" ||
        die "bench_index lookup failed"
    "$bench_index" lookup "$table" "$lookups" --repeat "$repeat" --exclusive >>"$results" ||
        die "bench_index lookup --exclusive failed"
    if ((have_strace)); then
        trace_lookups "$n" "$table" "$reclen" shared >>"$results"
        trace_lookups "$n" "$table" "$reclen" exclusive --exclusive >>"$results"
    fi

    echo "== $n records: inserting $inserts records" >&2
    "$bench_index" insert "$table" "$inserts" >>"$results" || die "bench_index insert failed"

    if [[ -n $tdbf ]]; then
        echo "== $n records: TDbf builds the same tag and reads in its order" >&2
        if out=$(timeout "$tdbf_limit" "$tdbf" build "$copy"); then
            echo "$out" >>"$results"
            if out=$(timeout "$tdbf_limit" "$tdbf" read "$copy"); then
                echo "$out" >>"$results"
            else
                note "TDbf read at $n records: gave up after $tdbf_limit s (or it failed)"
            fi
        else
            note "TDbf build at $n records: gave up after $tdbf_limit s (or it failed)"
        fi
    fi

    if ((!keep)); then rm -f -- "$table" "$index" "$keys" "$tag_keys" "$copy" "$scratch/tdbf$n.mdx"; fi
done

cpu=$(awk -F': *' '/^model name/ { print $2; exit }' /proc/cpuinfo 2>/dev/null || true)
echo
echo "Index benchmark: ${cpu:-unknown CPU}, $(nproc) CPUs, warm page cache, best of $repeat runs"
echo "Tag NEWINDEX = Upper(Left(Category,20))+DTOS(PurchDate)+STR(Cost,12,2), 40-byte keys"
[[ -s $notes ]] && sed 's/^/  /' "$notes"
awk -F'\t' -v lookups="$lookups" '
function grouped(x,    s, out, sign) {
    s = sprintf("%.0f", x); out = ""; sign = ""
    if (substr(s, 1, 1) == "-") { sign = "-"; s = substr(s, 2) }
    while (length(s) > 3) { out = "," substr(s, length(s) - 2) out; s = substr(s, 1, length(s) - 3) }
    return sign s out
}
function has(n, key) { return (n, key) in secs }
# A step timed over `count` items: seconds and items per second.
function row(n, key, label, count,    t) {
    if (!has(n, key)) return
    t = secs[n, key]
    printf "  %9s  %-50s %10.4f %14s\n", grouped(n), label, t, (t > 0 ? grouped(count / t) : "")
}
function ratio(label, top, bottom, note,    i, n, line) {
    line = sprintf("  %-50s", label)
    for (i = 1; i <= count; i++) {
        n = order[i]
        if (has(n, top) && has(n, bottom) && secs[n, bottom] > 0)
            line = line sprintf(" %12.2f", secs[n, top] / secs[n, bottom])
        else
            line = line sprintf(" %12s", "n/a")
    }
    print line (note == "" ? "" : "   " note)
}
function verdict(ok) { return ok ? "MET" : "MISSED" }
{
    n = $2
    if (!(n in seen)) { seen[n] = 1; order[++count] = n }
    secs[n, $1] = $3; f4[n, $1] = $4; f5[n, $1] = $5; f6[n, $1] = $6; f7[n, $1] = $7; f8[n, $1] = $8
}
END {
    printf "\n  %9s  %-50s %10s %14s\n", "records", "step", "seconds", "per second"
    for (i = 1; i <= count; i++) {
        n = order[i]
        row(n, "build", "build tag (Table::addIndex, exclusive)", n)
        row(n, "sort", "LC_ALL=C sort KEYS > /dev/null", n)
        row(n, "sort_single", "LC_ALL=C sort --parallel=1 KEYS > /dev/null", n)
        row(n, "keys", "(writing KEYS with KeyExpression::evaluate)", n)
        if (has(n, "open_first"))
            printf "  %9s  %-50s %10.6f   (fastest %.6f, slowest %.6f of 21)\n", grouped(n),
                "open shared + select tag + first, median", secs[n, "open_first"],
                f4[n, "open_first"], f5[n, "open_first"]
        row(n, "read_tag_text", "tag order, every field as text", n)
        row(n, "read_record_text", "record order, every field as text", n)
        row(n, "read_tag_cursor", "tag order, cursor only", n)
        row(n, "read_tag_text_interactive", "tag order, text, a record at a time", n)
        row(n, "read_record_cursor", "record order, cursor only", n)
        row(n, "insert", "insert " grouped(f4[n, "insert"]) " records + post (exclusive)", f4[n, "insert"])
        for (m = 1; m <= 2; m++) {
            mode = m == 1 ? "shared" : "exclusive"
            key = "lookup_" mode
            if (has(n, key))
                printf "  %9s  %-50s %10.4f %14s   %.2f us per lookup\n", grouped(n),
                    "findNearest x " grouped(f4[n, key]) ", " mode " use", secs[n, key],
                    grouped(f4[n, key] / secs[n, key]), f5[n, key]
        }
        if (has(n, "depth"))
            printf "  %9s  %-50s %d levels (%d keys a node)\n", grouped(n), "tree, root to leaf",
                f4[n, "depth"], f5[n, "depth"]
        for (m = 1; m <= 2; m++) {
            mode = m == 1 ? "shared" : "exclusive"
            key = "pages_" mode
            if (has(n, key))
                printf "  %9s  %-50s %.2f node reads (%.2f distinct), %.2f header reads, %.2f record reads, %.2f lock calls\n",
                    grouped(n), "per lookup, " mode " use (strace)", f4[n, key], f5[n, key],
                    f6[n, key], f7[n, key], f8[n, key]
        }
        row(n, "tdbf_build", "TDbf: build the same tag", n)
        row(n, "tdbf_read_tag_text", "TDbf: tag order, every field as text", n)
        row(n, "tdbf_read_tag_cursor", "TDbf: tag order, cursor only", n)
        print ""
    }
    line = sprintf("  %-50s", "ratio of times")
    for (i = 1; i <= count; i++) line = line sprintf(" %12s", grouped(order[i]))
    print line
    ratio("build / sort", "build", "sort", "(target: at most 3)")
    ratio("build / sort --parallel=1", "build", "sort_single", "")
    ratio("tag order / record order, text", "read_tag_text", "read_record_text", "(target: at most 2)")
    ratio("tag order / record order, cursor only", "read_tag_cursor", "read_record_cursor", "")
    ratio("TDbf build / build", "tdbf_build", "build", "")
    ratio("TDbf tag-order read / tag-order read, text", "tdbf_read_tag_text", "read_tag_text", "")
    ratio("TDbf tag-order read / tag-order read, cursor", "tdbf_read_tag_cursor", "read_tag_cursor", "")

    print "\nTargets:"
    for (i = 1; i <= count; i++) {
        n = order[i]
        if (has(n, "build") && has(n, "sort")) {
            r = secs[n, "build"] / secs[n, "sort"]
            printf "  %9s  build at most 3 times sort:                 %6.2f times     %s\n", grouped(n), r, verdict(r <= 3)
        }
        if (has(n, "open_first")) {
            t = f5[n, "open_first"] * 1000
            printf "  %9s  open in tag order under 50 ms (slowest):    %6.2f ms        %s\n", grouped(n), t, verdict(t < 50)
        }
        if (has(n, "read_tag_text") && has(n, "read_record_text")) {
            r = secs[n, "read_tag_text"] / secs[n, "read_record_text"]
            printf "  %9s  tag-order read at most 2 times record order: %5.2f times     %s\n", grouped(n), r, verdict(r <= 2)
        }
    }
    if (count > 1 && has(order[1], "depth") && has(order[count], "depth"))
        printf "  lookups O(log n): %s levels at %s records, %s at %s (%.0f times the records)\n",
            f4[order[1], "depth"], grouped(order[1]), f4[order[count], "depth"], grouped(order[count]),
            order[count] / order[1]
}' "$results"
