#!/usr/bin/env bash
# The Debian package, made from the build tree and extracted into a temporary root:
# its layout, its dependencies, lintian, the same bytes from a second cpack, the
# desktop entry and metadata, the copyright of what is compiled in, the udev rule,
# korvat-cli and its bash completion against the extracted catalogue, the extracted
# window readable with only the fonts its Depends bring (and in English without them),
# and the window selecting the saved chip against the drop-in simulator and writing its
# settings when ended by SIGTERM. Nothing is installed on this machine.
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

cjk_fonts=(fonts-noto-cjk fonts-wqy-microhei fonts-wqy-zenhei)
depends=$(dpkg-deb -f "$deb" Depends)
for d in libusb-0.1-4 libhidapi-hidraw0 libqt6widgets6 libc6 qt6-translations-l10n \
  "${cjk_fonts[0]} | ${cjk_fonts[1]} | ${cjk_fonts[2]}"; do
  [[ $depends == *"$d"* ]] || fail "Depends lacks $d: $depends"
done
lintian --fail-on error "$deb" >"$work/lintian.log" 2>&1 ||
  { cat "$work/lintian.log" >&2; fail "lintian"; }
# The files are dated by the changelog's latest entry, so cpack gives the same bytes again.
changelog=$(dirname "$0")/../../data/debian/changelog
epoch=$(dpkg-parsechangelog -l "$changelog" -STimestamp)
cpack --config "$build/CPackConfig.cmake" -B "$work/again" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack again"; }
cmp "$deb" "$work/again/$(basename "$deb")" || fail "a second cpack gave other bytes"
[ "$(dpkg-deb -f "$deb" Version)" = "$(dpkg-parsechangelog -l "$changelog" -SVersion)" ] ||
  fail "the package's version is not the changelog's"

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
[ "$(stat -c %Y "$root/usr/bin/korvat")" = "$epoch" ] || fail "korvat is not dated by the changelog"
desktop-file-validate "$root/usr/share/applications/$app.desktop" || fail "desktop entry"
metainfo=$root/usr/share/metainfo/$app.metainfo.xml
appstreamcli validate --pedantic --no-net "$metainfo" >"$work/appstream.log" 2>&1 ||
  { cat "$work/appstream.log" >&2; fail "AppStream metadata"; }
grep -q "<project_license>" "$metainfo" || fail "AppStream: no project_license"
grep -q "<release version=\"$(dpkg-deb -f "$deb" Version)\" date=\"$(date -u -d "@$epoch" +%F)\">" \
  "$metainfo" || fail "AppStream: the release is not the changelog's"
! grep -q "<screenshot" "$metainfo" || fail "AppStream: a screenshot on a site that does not exist"
# CLI11 is compiled into korvat-cli: its notice, of the version built with, ships.
cli11=$(sed -n 's/^#define CLI11_VERSION "\(.*\)"/\1/p' /usr/include/CLI/Version.hpp)
grep -q "CLI11 $cli11 Copyright" "$root/usr/share/doc/korvat/copyright" ||
  fail "the copyright file lacks CLI11 $cli11's notice"
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
for command in "" list catalogue convert devices detect erase blank read write verify auto batch firmware; do
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

# korvat-cli reads the extracted catalogue and leaves a fresh user's home empty.
home=$work/home
mkdir -p "$home"
user=(env -i PATH=/usr/bin:/bin HOME="$home")
listed=$("${user[@]}" "$root/usr/bin/korvat-cli" list W25Q64)
[[ $listed == *W25Q64* ]] || fail "korvat-cli list W25Q64: $listed"
[ -z "$(ls -A "$home")" ] || fail "korvat-cli list wrote into the user's home"

# The window on a virtual X server with only the given font files (and a user of its
# own): the title the window system shows, once the captions are set; the window's font
# check goes to <name>.log.
titled() {
  local name=$1 fonts=$work/fonts-$1
  shift
  mkdir -p "$fonts" "$work/home-$name"
  [ $# -eq 0 ] || ln -s "$@" "$fonts/"
  printf '<?xml version="1.0"?>\n<!DOCTYPE fontconfig SYSTEM "fonts.dtd">\n<fontconfig><dir>%s</dir><cachedir>%s</cachedir></fontconfig>\n' \
    "$fonts" "$work/cache-$name" >"$fonts.conf"
  xvfb-run -a bash -c '
    env -i PATH=/usr/bin:/bin HOME="$1" DISPLAY="$DISPLAY" XAUTHORITY="$XAUTHORITY" \
      FONTCONFIG_FILE="$2" XDG_RUNTIME_DIR="$3" QT_QPA_PLATFORM=xcb \
      QT_LOGGING_RULES=korvat.fonts=true "$4" >"$5" 2>&1 &
    pid=$! title=
    # Up to a minute: a first start builds its font cache, slowly on a loaded machine.
    for _ in $(seq 600); do
      title=$(xdotool search --name "^Korvat 2" getwindowname 2>/dev/null | head -1) || true
      [ -n "$title" ] && break
      sleep 0.1
    done
    kill $pid; wait $pid 2>/dev/null; echo "$title"' \
    _ "$work/home-$name" "$fonts.conf" "$work" "$root/usr/bin/korvat" "$work/$name.log"
}
# With only the fonts of an installed alternative of the Depends the window starts in
# Chinese, and its font check finds every caption's glyph; with none of them, in English.
readable=0
for pkg in "${cjk_fonts[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || continue
  mapfile -t files < <(dpkg -L "$pkg" | grep -E '\.(ttf|ttc|otf)$')
  title=$(titled "$pkg" "${files[@]}")
  [ "$title" = "Korvat 2高速编程器" ] || { cat "$work/$pkg.log" >&2; fail "with $pkg the title is '$title'"; }
  grep -q '^korvat.fonts: drawn with ' "$work/$pkg.log" || fail "with $pkg the captions' glyphs are missing"
  readable=$((readable + 1))
done
[ $readable -gt 0 ] || fail "none of ${cjk_fonts[*]} is installed here"
latin=$(fc-match -f '%{file}' 'DejaVu Sans')
! fc-query -f '%{lang}' "$latin" | grep -q zh || fail "$latin has Chinese glyphs"
title=$(titled latin "$latin")
[ "$title" = "Korvat 2 USB High Programmer" ] || { cat "$work/latin.log" >&2; fail "without a Chinese font the title is '$title'"; }
grep -q '^korvat.fonts: not drawn: ' "$work/latin.log" || fail "no font check without a Chinese font"

# The window, offscreen against the drop-in simulator: the saved chip is selected.
scenario=$work/scenario.txt
echo "chip 25 EF4017 8M" >"$scenario"
selected() {
  local log=$work/window-$1.log
  "${user[@]}" QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES=korvat.selection=true \
    LD_LIBRARY_PATH="$sim" KORVAT_SIM="$scenario" XDG_RUNTIME_DIR="$work" \
    "$root/usr/bin/korvat" >"$log" 2>&1 &
  local pid=$! line=
  for _ in $(seq 600); do
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
cmp -s "$root/usr/share/korvat/korvat.Dat" "$home/.local/share/korvat/korvat.Dat" ||
  fail "the window did not seed the user's catalogue from the installed one"
printf '[CHIP]\nINDEX1=0\nINDEX2=0\nINDEX3=1\n' >"$home/.config/korvat/korvat.ini"
saved=$(selected saved)
[ -n "$saved" ] && [ "$saved" != "$first" ] && [ "${saved%/*}" = "${first%/*}" ] ||
  fail "the saved chip (model 2 of $first's maker) was not selected: '$saved'"
# Ended by SIGTERM, the window closed as a person closes it: its settings are written.
settings=$(cat "$home/.config/korvat/korvat.ini")
grep -qx 'INDEX3=1' <<<"$settings" && grep -qx 'LANGU=[0-2]' <<<"$settings" ||
  fail "the window ended by SIGTERM did not write its settings: $settings"
[ "$(listing)" = "$before" ] || fail "the programs wrote into the installed files"
echo "package $deb: layout, lintian, the same bytes twice, metadata, korvat-cli, fonts and the window checked"
