#!/usr/bin/env bash
# Runs quillmoor-fx over every effect file under a folder and counts, per
# source (the first folder level below it), how many compile, fail with a
# message, crash (killed by a signal) or run past the time limit. Each file
# that does not compile is listed with the first error line it printed.
#
#   tools/effect_corpus_rate.sh CORPUS_DIR [TOOL]
#
# CORPUS_DIR holds one folder per source (for instance the files listed by
# tools/list_effect_corpora.sh, fetched into a scratch folder). Files whose
# techniques are all technique10/technique11 (Direct3D 10/11 effects) are
# counted apart as excluded. TOOL defaults to build/tools/quillmoor-fx.
# QM_FX_TIMEOUT sets the limit per file in seconds (default 60).
set -uo pipefail

dir=${1:?usage: effect_corpus_rate.sh CORPUS_DIR [TOOL]}
tool=${2:-$(cd "$(dirname "$0")/.." && pwd)/build/tools/quillmoor-fx}
limit=${QM_FX_TIMEOUT:-60}
[ -x "$tool" ] || { echo "effect_corpus_rate: no tool at $tool" >&2; exit 2; }
tool=$(readlink -f "$tool")  # each file compiles from its own folder

declare -A ok fail crash hang excl
sources=()
failures=""
total_ok=0 total=0
while IFS= read -r -d '' file; do
    rel=${file#"$dir"/}
    src=${rel%%/*}
    [ "$src" = "$rel" ] && src=.
    if [ -z "${ok[$src]+x}" ]; then
        sources+=("$src")
        ok[$src]=0 fail[$src]=0 crash[$src]=0 hang[$src]=0 excl[$src]=0
    fi
    # Direct3D 10/11 effects are out of scope.
    if grep -qiE '^[[:space:]]*technique1[01]\b' "$file" &&
        ! grep -qE '^[[:space:]]*technique([[:space:]]|$)' "$file"; then
        excl[$src]=$((excl[$src] + 1))
        continue
    fi
    total=$((total + 1))
    out=$(cd "$(dirname "$file")" && timeout -s KILL "$limit" "$tool" "$(basename "$file")" 2>&1)
    rc=$?
    if [ $rc -eq 0 ]; then
        ok[$src]=$((ok[$src] + 1))
        total_ok=$((total_ok + 1))
        continue
    fi
    if [ $rc -eq 137 ]; then
        hang[$src]=$((hang[$src] + 1))
        why="timed out after ${limit} s"
    elif [ $rc -gt 128 ]; then
        crash[$src]=$((crash[$src] + 1))
        why="crashed (signal $((rc - 128)))"
    else
        fail[$src]=$((fail[$src] + 1))
        why=$(printf '%s\n' "$out" | grep -m1 -E 'error' || printf '%s\n' "$out" | head -n1)
    fi
    failures+="$rel: $why"$'\n'
done < <(find "$dir" -type f \( -iname '*.fx' \) -print0 | sort -z)

printf '%-24s %8s %8s %8s %10s %9s\n' source compiled failed crashed timed-out excluded
for s in "${sources[@]}"; do
    n=$((ok[$s] + fail[$s] + crash[$s] + hang[$s]))
    printf '%-24s %4d/%-3d %8d %8d %10d %9d\n' "$s" "${ok[$s]}" "$n" "${fail[$s]}" "${crash[$s]}" \
        "${hang[$s]}" "${excl[$s]}"
done
if [ "$total" -gt 0 ]; then
    printf 'all: %d of %d compile (%d%%)\n' "$total_ok" "$total" $((100 * total_ok / total))
fi
[ -z "$failures" ] || printf '\n%s' "$failures"
