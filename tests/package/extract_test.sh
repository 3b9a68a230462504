#!/usr/bin/env bash
# The Debian package, made from the build tree and extracted into a temporary root:
# its layout, its dependencies, lintian, the desktop entry and metadata, the udev rule,
# korvat-cli and its bash completion against the extracted catalogue, and the extracted
# window selecting the saved chip against the drop-in simulator and writing its settings
# when ended by SIGTERM. Nothing is installed on this machine.
#   extract_test.sh BUILD_DIR SIM_DIR APP_ID
set -euo pipefail
build=$1 sim=$2 app=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack"; }
debs=("$work"/out/korvat_*_"$(dpkg --print-architecture)".deb)
[ -f "${debs[0]}" ] || fail "no korvat_<version>_<arch>.deb in $(ls "$work/out")"
deb=${debs[0]}

depends=$(dpkg-deb -f "$deb" Depends)
for d in libusb-0.1-4 libhidapi-hidraw0 libqt6widgets6 libc6 qt6-translations-l10n; do
  [[ $depends == *"$d"* ]] || fail "Depends lacks $d: $depends"
done
lintian --fail-on error "$deb" >"$work/lintian.log" 2>&1 ||
  { cat "$work/lintian.log" >&2; fail "lintian"; }

root=$work/root
dpkg-deb -x "$deb" "$root"
udevdir=$(pkg-config --variable=udevdir udev)
for f in usr/bin/korvat usr/bin/korvat-cli usr/share/korvat/korvat.Dat \
  "usr/share/applications/$app.desktop" "usr/share/metainfo/$app.metainfo.xml" \
  "usr/share/icons/hicolor/scalable/apps/$app.svg" \
  "usr/share/icons/hicolor/48x48/apps/$app.png" "usr/share/icons/hicolor/256x256/apps/$app.png" \
  usr/share/man/man1/korvat.1.gz usr/share/man/man1/korvat-cli.1.gz \
  usr/share/doc/korvat/copyright usr/share/doc/korvat/changelog.gz \
  usr/share/bash-completion/completions/korvat-cli \
  "${udevdir#/}/rules.d/70-korvat.rules"; do
  [ -f "$root/$f" ] || fail "missing $f"
done
file "$root/usr/share/icons/hicolor/48x48/apps/$app.png" | grep -q "48 x 48" || fail "48 px icon"
desktop-file-validate "$root/usr/share/applications/$app.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$root/usr/share/metainfo/$app.metainfo.xml" >/dev/null ||
  fail "AppStream metadata"
rules=$root/${udevdir#/}/rules.d/70-korvat.rules
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || gcc -print-multiarch)
[[ $udevdir != *"$multiarch"* ]] || fail "the udev rule is in a multiarch folder: $udevdir"
for id in 'ATTR{idVendor}=="1fc8", ATTR{idProduct}=="300b"' 'ATTR{idVendor}=="28e9", ATTR{idProduct}=="028b"' \
  'SUBSYSTEM=="hidraw", ATTRS{idVendor}=="28e9", ATTRS{idProduct}=="028b"'; do
  line=$(grep -F "$id" "$rules") || fail "no udev rule for $id"
  for part in 'TAG+="uaccess"' 'MODE="0660"' 'GROUP="plugdev"'; do
    grep -qF "$part" <<<"$line" || fail "the udev rule for $id lacks $part"
  done
done
# Only the seat and plugdev: no other mode, group or owner, nothing for everyone.
[ "$(grep -oE '(MODE|GROUP|OWNER)[+:]?="[^"]*"' "$rules" | sort -u | tr '\n' ' ')" = \
  'GROUP="plugdev" MODE="0660" ' ] || fail "the udev rule sets another mode, group or owner"
for page in korvat korvat-cli; do
  zcat "$root/usr/share/man/man1/$page.1.gz" | sed 's/\\-/-/g' >"$work/$page.man"
  for part in '^\.SH PERMISSIONS' uaccess plugdev 'udevadm control --reload && udevadm trigger' \
    '^\.SH FILES' 'korvat-batch.csv' 'XDG_STATE_HOME'; do
    grep -qE -- "$part" "$work/$page.man" || fail "$page(1) lacks $part"
  done
done
# Every command, option and exit code of korvat-cli is in its manual page.
manual=$(zcat "$root/usr/share/man/man1/korvat-cli.1.gz" | sed 's/\\-/-/g')
plain=$(sed 's/\\f[BIRP]//g' <<<"$manual")
cli=$root/usr/bin/korvat-cli
for command in "" list convert devices detect erase blank read write verify auto batch firmware; do
  [ -z "$command" ] || grep -q "^\.[BT].*\b$command\b" <<<"$plain" || fail "manual lacks $command"
  for option in $("$cli" $command --help | grep -oE -- '--[a-z][a-z-]+' | sort -u); do
    grep -qF -- "$option" <<<"$manual" || fail "manual lacks $option of '$command'"
  done
done
# Its bash completion, where bash-completion loads it from, asks the extracted program.
completed=$(bash -c '. "$1"; COMP_WORDS=("$2" li); COMP_CWORD=1; _korvat_cli; echo "${COMPREPLY[*]}"' \
  _ "$root/usr/share/bash-completion/completions/korvat-cli" "$cli")
[ "$completed" = list ] || fail "the bash completion of 'korvat-cli li' gives '$completed'"
for code in 0 1 2 3 4 5 6 7 130; do
  grep -q "^\.B $code\$" <<<"$manual" || fail "manual lacks exit code $code"
done

# Nothing the programs do below may write into the installed files.
listing() { find "$root" -printf '%p %s %T@\n' | sort; }
before=$(listing)

# korvat-cli against the extracted catalogue, seeded into a fresh user's data folder.
home=$work/home
mkdir -p "$home"
user=(env -i PATH=/usr/bin:/bin HOME="$home")
listed=$("${user[@]}" "$root/usr/bin/korvat-cli" list W25Q64)
[[ $listed == *W25Q64* ]] || fail "korvat-cli list W25Q64: $listed"
cmp -s "$root/usr/share/korvat/korvat.Dat" "$home/.local/share/korvat/korvat.Dat" ||
  fail "the user's catalogue was not seeded from the installed one"

# The window, offscreen against the drop-in simulator: the saved chip is selected.
scenario=$work/scenario.txt
echo "chip 25 EF4017 8M" >"$scenario"
selected() {
  local log=$work/window-$1.log
  "${user[@]}" QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES=korvat.selection=true \
    LD_LIBRARY_PATH="$sim" KORVAT_SIM="$scenario" XDG_RUNTIME_DIR="$work" \
    "$root/usr/bin/korvat" >"$log" 2>&1 &
  local pid=$! line=
  for _ in $(seq 200); do
    line=$(grep -m1 '^korvat.selection: selected ' "$log" || true)
    [ -n "$line" ] && break
    sleep 0.1
  done
  kill -TERM "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  echo "${line#korvat.selection: selected }"
}
first=$(selected first)
[ -n "$first" ] || { cat "$work/window-first.log" >&2; fail "the window selected no chip"; }
[ -d "$home/.config/korvat" ] || fail "the window made no settings folder"
printf '[CHIP]\nINDEX1=0\nINDEX2=0\nINDEX3=1\n' >"$home/.config/korvat/korvat.ini"
saved=$(selected saved)
[ -n "$saved" ] && [ "$saved" != "$first" ] && [ "${saved%/*}" = "${first%/*}" ] ||
  fail "the saved chip (model 2 of $first's maker) was not selected: '$saved'"
# Ended by SIGTERM, the window closed as a person closes it: its settings are written.
settings=$(cat "$home/.config/korvat/korvat.ini")
grep -qx 'INDEX3=1' <<<"$settings" && grep -qx 'LANGU=[0-2]' <<<"$settings" ||
  fail "the window ended by SIGTERM did not write its settings: $settings"
[ "$(listing)" = "$before" ] || fail "the programs wrote into the installed files"
echo "package $deb: layout, lintian, korvat-cli and the window checked"
