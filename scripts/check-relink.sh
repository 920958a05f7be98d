#!/usr/bin/env bash
# Links a target once more, from the same objects and with the same command,
# into a scratch folder, and compares the result with the file as the build
# linked it (before signing). The cheap part of scripts/reproduce.sh: a link
# that writes a time stamp, a path or anything else that varies fails here.
#
#   check-relink.sh <target's build folder> <its link.txt> <file as linked>
#
# (link.txt is the Makefile generator's link rule of the target, relative to
# the target's build folder, where the link runs.)
set -eu
dir=${1:?target build folder} rule=${2:?link rule} reference=${3:?file as linked}
[ -f "$reference" ] || { echo "check-relink: $reference is missing (build the target first)" >&2; exit 1; }
reference=$(realpath "$reference")
cd "$dir"
link=$(grep -m1 -e ' -o ' "$rule") || { echo "check-relink: no link command in $rule" >&2; exit 1; }
scratch=$(mktemp -d "${TMPDIR:-/tmp}/relink.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
out=$scratch/$(basename "$reference")
# The output, and the import library the rule may write beside it, go to the
# scratch folder; everything else is the build's own command.
link=$(sed -E "s# -o [^ ]+# -o $out#; s#--out-implib,[^ ]+#--out-implib,$scratch/implib.a#" <<<"$link")

# A link within the reference's second would hide a time stamp.
while [ "$(date +%s)" -le "$(stat -c %Y "$reference")" ]; do sleep 0.2; done
eval "$link"

if cmp -s "$reference" "$out"; then
  echo "check-relink: $(basename "$reference") linked again in $scratch: the same $(stat -c %s "$out") bytes"
  exit 0
fi
at=$(cmp "$reference" "$out" 2>&1 | sed -nE 's/.* differ: (byte|char) ([0-9]+),.*/\2/p')
echo "check-relink: $(basename "$reference") linked again differs from $reference${at:+ at offset $((at - 1))}" >&2
cmp -l "$reference" "$out" 2>&1 | head -n 8 >&2
exit 1
