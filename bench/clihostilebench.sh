#!/bin/sh
# Times the command line tool on inputs a careless user or an attacker gives
# it: thousands of pick queries and bind rules on a large IED, the export and
# dump of a large project. Prints seconds and peak memory per step.
#
# usage: bench/clihostilebench.sh BUILD_DIR [LOGICAL_NODES]
#   BUILD_DIR holds cli/stationscope-cli and bench/sclbench; LOGICAL_NODES
#   defaults to 410, the vendor IED of the field.
set -eu
build=${1:?usage: clihostilebench.sh BUILD_DIR [LOGICAL_NODES]}
lns=${2:-410}
cli="$build/cli/stationscope-cli"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

measure() {
    label=$1
    shift
    /usr/bin/time -f "%e %M" -o "$work/time" "$@" >"$work/out" 2>"$work/err" || true
    read -r seconds kilobytes <"$work/time"
    printf '%-58s %8s s %8d MB\n' "$label" "$seconds" $((kilobytes / 1024))
}

"$build/bench/sclbench" --generate "$work/ied.scd" --ieds 1 --lns "$lns" >/dev/null
measure "new (one IED, $lns logical nodes)" \
    "$cli" new "$work/ied.scd" --ied IED0001 --out "$work/ied.sclpro"
grep -o 'lnClass="[A-Z0-9]*" inst="[0-9]*"' "$work/ied.scd" |
    sed 's/lnClass="\(.*\)" inst="\(.*\)"/\1\2/' | sort -u | head -3000 >"$work/names"
queries=$(wc -l <"$work/names")

cp "$work/ied.sclpro" "$work/pick.sclpro"
measure "pick, 1 query (open, match, save)" \
    "$cli" pick "$work/pick.sclpro" --objects "ln:CSWI Pos"
cp "$work/ied.sclpro" "$work/pick.sclpro"
# shellcheck disable=SC2046
measure "pick, $queries text queries" \
    "$cli" pick "$work/pick.sclpro" $(cat "$work/names")
cp "$work/ied.sclpro" "$work/pick.sclpro"
# shellcheck disable=SC2046
measure "pick, $queries expression queries" \
    "$cli" pick "$work/pick.sclpro" $(sed 's/$/$/' "$work/names")

cp "$work/ied.sclpro" "$work/all.sclpro"
measure "pick --all" "$cli" pick "$work/all.sclpro" --all
awk 'BEGIN { for (i = 0; i < 100000; ++i) printf "Nowhere%d;Status Signal;NoRef\n", i }' \
    >"$work/unknown-picks.csv"
measure "bind, 100000 lines naming unknown picks" \
    "$cli" bind "$work/all.sclpro" "$work/unknown-picks.csv"
awk 'BEGIN { for (i = 0; i < 100000; ++i) printf "Nowhere%d;Status Signal;LABEL%d\n", i, i }' \
    >"$work/unknown-labels.csv"
measure "bind, 100000 lines naming unknown labels" \
    "$cli" bind "$work/all.sclpro" "$work/unknown-labels.csv"
rows=$(sqlite3 "$work/all.sclpro" "SELECT (SELECT count(*) FROM iec61850_data_objects) + \
    (SELECT count(*) FROM iec61850_datasets_and_objects) + \
    (SELECT count(*) FROM iec61850_reports)" 2>/dev/null || echo "?")
measure "export ($rows selection rows)" "$cli" export "$work/all.sclpro" --out "$work/all.xlsx"
measure "dump of the project ($rows selection rows)" "$cli" dump "$work/all.sclpro"
measure "dump of the workbook" "$cli" dump "$work/all.xlsx"
