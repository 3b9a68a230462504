#!/usr/bin/env bash
# The bash completion of korvat-cli, sourced in bash and run as bash runs it (COMP_WORDS,
# COMP_CWORD), against the built korvat-cli and the drop-in simulator.
#   completion_test.sh COMPLETION_FILE KORVAT_CLI SIM_DIR
set -euo pipefail
script=$1 cli=$2
export LD_LIBRARY_PATH=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

. "$script"
[[ $(complete -p korvat-cli) == *"-F _korvat_cli"* ]] || fail "not registered for korvat-cli"
# The words after korvat-cli, the last the one at the cursor; the replies on one line.
c() {
    COMP_WORDS=("$cli" "$@")
    COMP_CWORD=$#
    _korvat_cli
    echo "${COMPREPLY[*]}"
}
expect() { # WANT WORDS...
    local want=$1 got
    shift
    got=$(c "$@")
    [[ $got == "$want" ]] || fail "'$*': '$got', not '$want'"
}

for command in list devices read write batch firmware; do
    [[ " $(c '') " == *" $command "* ]] || fail "no subcommand $command: $(c '')"
done
expect "read" re
expect "--lang" --json --l
expect "zh tw en" --lang ''
expect "le be ascii" batch --serial-format ''
expect "raw ihex srec" write --format ''
options=" $(c read --) "
for option in --chip --range --force --json --device; do
    [[ $options == *" $option "* ]] || fail "read lacks $option: $options"
done
[[ $options != *" --count "* ]] || fail "read offers batch's --count"
# A value taken by an option is not a subcommand: read's FILE is a file name.
touch "$work/image.bin"
expect "$work/image.bin" --catalogue "$work/none.Dat" read --chip W25Q64 "$work/ima"

# --chip: the models of the catalogue korvat-cli reads, or the one --catalogue names.
models=$(c write --chip = W25Q64J)
[[ " $models " == *" W25Q64JV "* ]] || fail "--chip W25Q64J: $models"
for model in $models; do
    "$cli" list "$model" | cut -f3 | grep -qx "$model" || fail "$model is no catalogue model"
done
expect "" --catalogue = "$work/none.Dat" write --chip W25Q64J

# --device: the serial numbers korvat-cli devices lists, asked now.
echo "info 1.0 1.02 KV7654321" >"$work/scenario.txt"
KORVAT_SIM=$work/scenario.txt expect "KV7654321" erase --device = K
echo PASS
