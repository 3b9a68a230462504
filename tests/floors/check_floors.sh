#!/usr/bin/env bash
# The core's folders are floors, each standing only on those below it:
#   base < catalogue < buffers < link < ops < app < cli
# (korvat-cli shares the application's paths; the window never uses korvat-cli's code).
# A core file includes its own floor and lower ones, never a window (a ui/ folder or
# widgets/); the simulator includes no core header at all. Prints every include that
# breaks this and exits 1 when there is one.
#   check_floors.sh SRC_DIR [SIM_DIR]
set -euo pipefail
src=$1
sim=${2:-}

floor() {
  case $1 in
    base) echo 0 ;; catalogue) echo 1 ;; buffers) echo 2 ;; link) echo 3 ;; ops) echo 4 ;;
    app) echo 5 ;; cli) echo 6 ;; *) echo 9 ;;
  esac
}

breaches=0
report() {
  echo "$1: includes $2 ($3)"
  breaches=$((breaches + 1))
}

for dir in base catalogue buffers link ops app cli; do
  [ -d "$src/$dir" ] || continue
  own=$(floor "$dir")
  for file in "$src/$dir"/*.h "$src/$dir"/*.cpp; do
    [ -e "$file" ] || continue
    while IFS= read -r included; do
      top=${included%%/*}
      [ "$top" = "$included" ] && continue # the file's own folder
      case $included in
        */ui/* | widgets/*) report "${file#"$src"/}" "$included" "a window"; continue ;;
      esac
      if [ "$(floor "$top")" -gt "$own" ]; then
        report "${file#"$src"/}" "$included" "a higher floor"
      fi
    done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*["<]\([^">]*\)[">].*/\1/p' "$file" |
      grep -E '^(base|catalogue|buffers|link|ops|app|cli|widgets)/|/ui/|^[^/]*$' || true)
  done
done

if [ -n "$sim" ]; then
  while IFS= read -r line; do
    report "sim/${line%%:*}" "${line#*:}" "the simulator stands alone"
  done < <(cd "$sim" && grep -Ho '#include "\(base\|catalogue\|buffers\|link\|ops\|app\|cli\)/[^"]*"' \
             -- *.h *.cpp 2>/dev/null | sed 's/#include "\(.*\)"/\1/' || true)
fi

if [ "$breaches" -gt 0 ]; then
  echo "$breaches include(s) break the floors"
  exit 1
fi
