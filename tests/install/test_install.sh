#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a desktop and an
# educator's account find there: the menu entry and its icon where the
# desktop reads them, the program, the guide with its pictures, and a data
# folder its group may write. As root, an ordinary account of that group then
# starts the installed program and writes the data folder.
#   test_install.sh <build folder>
set -euo pipefail
build=$1
prefix=$(mktemp -d /tmp/velmora-install-XXXXXX)
user=velmoraprova
cleanup() {
  if [ "$(id -u)" = 0 ] && id "$user" >/dev/null 2>&1; then userdel "$user" >/dev/null 2>&1 || true; fi
  rm -rf "$prefix"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
chmod 755 "$prefix"

# The default prefix is one whose share/ the desktop reads (XDG_DATA_DIRS
# defaults to /usr/local/share/:/usr/share/).
default=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")
case ":/usr/local/share/:/usr/share/:" in
  *":$default/share/:"*) ;;
  *) fail "default prefix $default: $default/share is not read by the desktop" ;;
esac

# The group "users" stands for the data group, so no system group is made.
VELMORA_DATA_GROUP=users cmake --install "$build" --prefix "$prefix" >/dev/null

entry=$prefix/share/applications/velmora.desktop
[ -f "$entry" ] || fail "no menu entry"
if command -v desktop-file-validate >/dev/null; then
  out=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $out"
  [ -z "$out" ] || fail "desktop-file-validate: $out"
fi
grep -qx 'Icon=velmora' "$entry" || fail "entry without Icon=velmora"
grep -qx 'Categories=Education;' "$entry" || fail "entry categories"
grep -qx "Exec=$prefix/velmora/Velmora" "$entry" || fail "Exec does not name the installed program"
[ -x "$prefix/velmora/Velmora" ] || fail "program not installed"
for s in 16 22 24 32 48 64 128 256; do
  [ -s "$prefix/share/icons/hicolor/${s}x${s}/apps/velmora.png" ] || fail "no ${s}x${s} icon"
done
[ -s "$prefix/share/icons/hicolor/scalable/apps/velmora.svg" ] || fail "no scalable icon"
[ -s "$prefix/velmora/docs/guida-utente.html" ] || fail "no user guide"
grep -o 'src="img/[^"]*"' "$prefix/velmora/docs/guida-utente.html" | sed 's/src="//; s/"$//' | while read -r img; do
  [ -s "$prefix/velmora/docs/$img" ] || fail "guide picture $img not installed"
done
[ -f "$prefix/velmora/db/AnagBimbi.DB" ] || fail "no data folder"
[ -d "$prefix/velmora/copie" ] || fail "no copies folder"

if [ "$(id -u)" != 0 ]; then
  echo "ok (not root: the data group and an ordinary account were not tried)"
  exit 0
fi
for sub in db copie; do
  [ "$(stat -c %G "$prefix/velmora/$sub")" = users ] || fail "$sub does not belong to the data group"
  [ -n "$(find "$prefix/velmora/$sub" -maxdepth 0 -perm -2070)" ] || fail "$sub lacks group write or the set-group bit"
done
[ -z "$(find "$prefix/velmora/db" -type f ! -perm -060)" ] || fail "files of db/ without group write"

# An ordinary account in the data group starts the installed program: it
# locks the data folder and makes the day's copy, then waits for the first
# nursery (ended by the timeout).
if command -v useradd >/dev/null && command -v runuser >/dev/null; then
  useradd -M -N -g users -s /bin/sh "$user"
  rc=0
  runuser -u "$user" -- env QT_QPA_PLATFORM=offscreen HOME=/tmp timeout 8 "$prefix/velmora/Velmora" >/dev/null 2>&1 || rc=$?
  [ "$rc" = 124 ] || fail "the program as $user ended with $rc instead of starting"
  [ "$(stat -c %U "$prefix/velmora/db/velmora.lock")" = "$user" ] || fail "no lock file written by $user"
  copy=$(ls "$prefix/velmora/copie" | head -1)
  [ -n "$copy" ] || fail "no daily copy written by $user"
  [ "$(stat -c %G "$prefix/velmora/copie/$copy")" = users ] || fail "the copy does not belong to the data group"
  [ -n "$(find "$prefix/velmora/copie/$copy" -maxdepth 0 -perm -020)" ] || fail "the copy lacks group write"
fi
echo ok
