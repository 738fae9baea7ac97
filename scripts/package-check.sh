#!/usr/bin/env bash
# Builds the Debian package from build/ and inspects it: its files, its dependencies, its
# desktop entry (desktop-file-validate) and lintian's errors. With CI=true (a throwaway machine)
# it also installs the package, uses it as a user would (a measurement with fimtool; fim opening
# a time file through the MIME association), removes it, and checks that nothing of it is left.
# On any other machine it never installs or removes anything.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$top/build
fail() { echo "package-check: $*" >&2; exit 1; }

rm -f "$build"/field-impulse-meter_*.deb
(cd "$build" && cpack -G DEB >cpack.log 2>&1) || { cat "$build/cpack.log" >&2; fail "cpack failed"; }
debs=("$build"/field-impulse-meter_*_"$(dpkg --print-architecture)".deb)
[ -f "${debs[0]}" ] || fail "no field-impulse-meter_<version>_<arch>.deb in $build"
deb=${debs[0]}
echo "package-check: $deb"

contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in ./usr/bin/fim ./usr/bin/fimtool \
         ./usr/share/applications/field-impulse-meter.desktop \
         ./usr/share/mime/packages/field-impulse-meter.xml \
         ./usr/share/icons/hicolor/scalable/apps/field-impulse-meter.svg \
         ./usr/share/man/man1/fimtool.1.gz ./usr/share/man/man1/fim.1.gz \
         ./usr/share/doc/field-impulse-meter/copyright; do
    grep -qxF "$f" <<<"$contents" || fail "$f is missing from the package"
done
depends=$(dpkg-deb -f "$deb" Depends)
for d in qt6-translations-l10n fonts-liberation libportaudio2 libqt6widgets6; do
    grep -q "\b$d\b" <<<"$depends" || fail "Depends lacks $d: $depends"
done

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
desktop-file-validate "$unpacked/usr/share/applications/field-impulse-meter.desktop" ||
    fail "desktop-file-validate refused the desktop entry"
# Every command of fimtool's help has its section in the manual page.
page=$(gzip -dc "$unpacked/usr/share/man/man1/fimtool.1.gz")
for cmd in $("$build/src/fimtool" --help | awk '/^  fimtool [a-z]/ {print $2}'); do
    grep -qi "^\.SH \"FIMTOOL $cmd\"" <<<"$page" || fail "the manual page has no section for $cmd"
done
lintian --fail-on error --suppress-tags-from-file /dev/null "$deb" ||
    fail "lintian reports errors"

[ "${CI:-}" = true ] || exit 0

# --- a throwaway machine: install, use, remove -------------------------------------------------
[ "$(id -u)" -eq 0 ] || as_root=sudo
export DEBIAN_FRONTEND=noninteractive
${as_root:-} apt-get install -y -qq --no-install-recommends "$(realpath "$deb")"
files=$(dpkg -L field-impulse-meter | while read -r f; do if [ -f "$f" ]; then echo "$f"; fi; done)

user=$(mktemp -d)
export HOME=$user XDG_CONFIG_HOME=$user/config XDG_DATA_HOME=$user/data QT_QPA_PLATFORM=offscreen
fimtool measure --fast --order 12 --out "$user/room.mtf" >"$user/measure.json"
grep -q '"status"' "$user/measure.json" || fail "fimtool measure gave no summary"

# The file manager's way: the MIME type of the file, its default application, that entry's Exec.
type=$(xdg-mime query filetype "$user/room.mtf")
[ "$type" = application/x-fim-impulse-response ] || fail "room.mtf is $type"
entry=$(xdg-mime query default "$type")
[ "$entry" = field-impulse-meter.desktop ] || fail "the default for $type is '$entry'"
exec_line=$(sed -n 's/^Exec=//p' "/usr/share/applications/$entry")
# A user who has run it before: no first-start questions wait for an answer.
mkdir -p "$XDG_CONFIG_HOME/Brevik Audio"
printf '[General]\nVERSION=17100\nMLSVOL=-6\n' >"$XDG_CONFIG_HOME/Brevik Audio/Field Impulse Meter.ini"
read -r -a argv <<<"${exec_line//%f/$user/room.mtf}"
"${argv[@]}" &
pid=$!
# The window loads the file while it is built; then the program catches SIGTERM, which closes the
# window (saving the recent-file list) like the close button.
for _ in $(seq 1 600); do
    if [ "$(readlink "/proc/$pid/exe" 2>/dev/null)" = /usr/bin/fim ]; then
        caught=$(awk '/^SigCgt:/ {print $2}' "/proc/$pid/status" 2>/dev/null || echo 0)
        (( 0x${caught:-0} & 0x4000 )) && break
    fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
kill -TERM "$pid"
wait "$pid" || fail "fim ended with status $?"
grep -qF "FILE1=$user/room.mtf" "$XDG_CONFIG_HOME/Brevik Audio/Field Impulse Meter.ini" ||
    fail "fim did not open room.mtf"

${as_root:-} apt-get remove --purge -y -qq field-impulse-meter
left=$(for f in $files; do if [ -e "$f" ]; then echo "$f"; fi; done)
[ -z "$left" ] || fail "left behind after removal: $left"
! dpkg -s field-impulse-meter >/dev/null 2>&1 || fail "the package is still known to dpkg"
echo "package-check: installed, used and removed cleanly"
