#!/usr/bin/env bash
# Fails when the program's sources use a message id that ui/message_ids.h does not list: the string
# library is checked against that list only, so such an id would show an empty text.
# Ids are the numbers 169 and 20000-25999 in the sources (tests excluded); a number in that range
# that is not an id goes into not_ids below, with the reason.
#   check-ids.sh <repository root>
set -euo pipefail
root=${1:?usage: check-ids.sh <repository root>}
list=$root/ui/message_ids.h

# "number:reason" for numbers in the id ranges that are no message ids.
not_ids=(
)

listed=" $(grep -oE 'X\([0-9]+\)' "$list" | tr -d 'X()' | tr '\n' ' ') "
if [ "$listed" = "  " ]; then
  echo "no ids found in $list" >&2
  exit 1
fi
for entry in "${not_ids[@]}"; do
  listed+="${entry%%:*} "
done

dirs=()
for d in setup log product components host process ui; do
  if [ -d "$root/$d" ]; then dirs+=("$root/$d"); fi
done

missing=0
while IFS=: read -r file line id; do
  case "$listed" in
    *" $id "*) ;;
    *)
      echo "${file#"$root"/}:$line: message id $id is not listed in ui/message_ids.h"
      missing=1
      ;;
  esac
done < <(grep -rnoE --include='*.cpp' --include='*.h' '\b(169|2[0-5][0-9]{3})\b' "${dirs[@]}" |
  grep -v "^$list:" || true)

if [ "$missing" = 0 ]; then
  echo "every message id used in the sources is listed"
fi
exit "$missing"
