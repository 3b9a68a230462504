#!/usr/bin/env bash
# The Debian package, made from the build tree and extracted into a temporary root:
# its layout, its dependencies, lintian, the desktop entry and metadata, the udev rule,
# korvat-cli against the extracted catalogue, and the extracted window selecting the
# saved chip against the drop-in simulator. Nothing is installed on this machine.
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
  grep -F "$id" "$rules" | grep -qF 'TAG+="uaccess"' || fail "udev rule for $id"
done
! grep -qE 'MODE|GROUP' "$rules" || fail "the udev rule sets a mode or a group"
# Every command, option and exit code of korvat-cli is in its manual page.
manual=$(zcat "$root/usr/share/man/man1/korvat-cli.1.gz" | sed 's/\\-/-/g')
plain=$(sed 's/\\f[BIRP]//g' <<<"$manual")
cli=$root/usr/bin/korvat-cli
for command in "" list catalogue convert devices detect erase blank read write verify auto batch firmware; do
  [ -z "$command" ] || grep -q "^\.[BT].*\b$command\b" <<<"$plain" || fail "manual lacks $command"
  for option in $("$cli" $command --help | grep -oE -- '--[a-z][a-z-]+' | sort -u); do
    grep -qF -- "$option" <<<"$manual" || fail "manual lacks $option of '$command'"
  done
done
for code in 0 1 2 3 4 5 6 7 130; do
  grep -q "^\.B $code\$" <<<"$manual" || fail "manual lacks exit code $code"
done

# Nothing the programs do below may write into the installed files.
listing() { find "$root" -printf '%p %s %T@\n' | sort; }
before=$(listing)

# korvat-cli reads the extracted catalogue and leaves a fresh user's home empty.
home=$work/home
mkdir -p "$home"
user=(env -i PATH=/usr/bin:/bin HOME="$home")
listed=$("${user[@]}" "$root/usr/bin/korvat-cli" list W25Q64)
[[ $listed == *W25Q64* ]] || fail "korvat-cli list W25Q64: $listed"
[ -z "$(ls -A "$home")" ] || fail "korvat-cli list wrote into the user's home"

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
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  echo "${line#korvat.selection: selected }"
}
first=$(selected first)
[ -n "$first" ] || { cat "$work/window-first.log" >&2; fail "the window selected no chip"; }
[ -d "$home/.config/korvat" ] || fail "the window made no settings folder"
cmp -s "$root/usr/share/korvat/korvat.Dat" "$home/.local/share/korvat/korvat.Dat" ||
  fail "the window did not seed the user's catalogue from the installed one"
printf '[CHIP]\nINDEX1=0\nINDEX2=0\nINDEX3=1\n' >"$home/.config/korvat/korvat.ini"
saved=$(selected saved)
[ -n "$saved" ] && [ "$saved" != "$first" ] && [ "${saved%/*}" = "${first%/*}" ] ||
  fail "the saved chip (model 2 of $first's maker) was not selected: '$saved'"
[ "$(listing)" = "$before" ] || fail "the programs wrote into the installed files"
echo "package $deb: layout, lintian, korvat-cli and the window checked"
