#!/usr/bin/env bash
# Installs the build into a temporary prefix (the data in a temporary
# var/lib/velmora) and checks what a desktop and the educators' accounts find
# there: the menu entry and its icon where the desktop reads them, the
# program on the PATH, the guide with its pictures, the data laid private to
# its group. As root, with a throwaway data group and three throwaway
# ordinary accounts, two in the group and one outside it (all removed at
# the end, also on failure), each with a umask of its own:
#   - the first account starts the installed program, which locks the folder
#     and makes the day's copy, every file with the group and mode 0660;
#   - the second is refused while the first holds the folder, the holder
#     named, and the lock note left as it was;
#   - the outsider is refused, told the group and the command, and can read
#     no file of the data or of the copies;
#   - a damaged file is restored by the second account (the question names
#     the copy's date and time, the damaged file is kept aside), and the first
#     then starts and posts a nursery;
#   - the administrator's command puts a copy back, refused while a program
#     holds the folder.
# Not as root, what needs no accounts is checked and the test says SKIP
# (exit status 77, which CTest shows as skipped).
#   test_install.sh <build folder> <startup_probe>
set -euo pipefail
build=$1
probe_built=$2
prefix=$(mktemp -d /tmp/velmora-install-XXXXXX)
data=$prefix/var/lib/velmora
tag=$$
group=vmprova$tag
a=vmprovaa$tag
b=vmprovab$tag
c=vmprovac$tag
holder_pid=
made_group=

cleanup() {
  if [ -n "$holder_pid" ]; then kill -9 -- "-$holder_pid" 2>/dev/null || kill -9 "$holder_pid" 2>/dev/null || true; fi
  if [ "$(id -u)" = 0 ]; then
    for u in "$a" "$b" "$c"; do id "$u" >/dev/null 2>&1 && userdel "$u" >/dev/null 2>&1 || true; done
    if [ -n "$made_group" ] && getent group "$group" >/dev/null; then groupdel "$group" >/dev/null 2>&1 || true; fi
  fi
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
grep -q '^VELMORA_DATA_DIR:STRING=/var/lib/velmora$' "$build/CMakeCache.txt" || fail "the data is not laid in /var/lib/velmora by default"

if [ "$(id -u)" = 0 ]; then
  getent group "$group" >/dev/null && fail "group $group exists already"
  made_group=yes # the install makes it
  VELMORA_DATA_GROUP=$group VELMORA_DATA_DIR=$data cmake --install "$build" --prefix "$prefix" >/dev/null
  getent group "$group" >/dev/null || fail "the install did not make the data group"
else
  VELMORA_DATA_DIR=$data cmake --install "$build" --prefix "$prefix" >/dev/null
fi

prog=$prefix/lib/velmora
entry=$prefix/share/applications/velmora.desktop
[ -f "$entry" ] || fail "no menu entry"
if command -v desktop-file-validate >/dev/null; then
  out=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $out"
  [ -z "$out" ] || fail "desktop-file-validate: $out"
fi
grep -qx 'Icon=velmora' "$entry" || fail "entry without Icon=velmora"
grep -qx 'Categories=Education;' "$entry" || fail "entry categories"
grep -qx "Exec=$prefix/bin/velmora" "$entry" || fail "Exec does not name the program on the PATH"
[ -x "$prog/Velmora" ] || fail "program not installed"
[ "$(readlink -f "$prefix/bin/velmora")" = "$(readlink -f "$prog/Velmora")" ] || fail "bin/velmora is not the program"
[ "$(readlink -f "$prefix/sbin/velmora-install")" = "$(readlink -f "$prog/velmora-install")" ] || fail "sbin/velmora-install is not the installer"
[ "$(readlink -f "$prefix/sbin/velmora-server")" = "$(readlink -f "$prog/velmora-server")" ] || fail "sbin/velmora-server is not the server tool"
"$prefix/sbin/velmora-server" --help | grep -q 'importa <cartella>' || fail "velmora-server --help does not tell importa"
[ "$(readlink "$prog/db")" = "$data/db" ] || fail "db beside the program is not a link to $data/db"
[ "$(readlink "$prog/copie")" = "$data/copie" ] || fail "copie beside the program is not a link to $data/copie"
for s in 16 22 24 32 48 64 128 256; do
  [ -s "$prefix/share/icons/hicolor/${s}x${s}/apps/velmora.png" ] || fail "no ${s}x${s} icon"
done
[ -s "$prefix/share/icons/hicolor/scalable/apps/velmora.svg" ] || fail "no scalable icon"
[ -s "$prog/docs/guida-utente.html" ] || fail "no user guide"
grep -o 'src="img/[^"]*"' "$prog/docs/guida-utente.html" | sed 's/src="//; s/"$//' | while read -r img; do
  [ -s "$prog/docs/$img" ] || fail "guide picture $img not installed"
done
[ -f "$data/db/AnagBimbi.DB" ] || fail "no data folder"
[ -d "$data/copie" ] || fail "no copies folder"
"$prefix/sbin/velmora-install" --help | grep -q -- '--ripristina' || fail "velmora-install --help does not tell --ripristina"

if [ "$(id -u)" != 0 ]; then
  echo "SKIP: not run as root: the data group, its modes and the three accounts need root (CI runs as root)"
  exit 77
fi
command -v useradd >/dev/null && command -v runuser >/dev/null || fail "useradd or runuser missing"

# Every folder of the data 2770 and every file 0660, all of the data group,
# nothing for other accounts.
private_to_group() {
  local where
  for where in "$data/db" "$data/copie"; do
    local bad
    bad=$(find "$where" \( ! -group "$group" -o -perm /o=rwx \) -printf '%M %u:%g %p\n')
    [ -z "$bad" ] || fail "$1: not private to the group $group: $bad"
    bad=$(find "$where" -type d ! -perm 2770 -printf '%M %p\n')
    [ -z "$bad" ] || fail "$1: folders not 2770: $bad"
    bad=$(find "$where" -type f ! -perm 0660 -printf '%M %p\n')
    [ -z "$bad" ] || fail "$1: files not 0660: $bad"
  done
}
private_to_group "after the install"

useradd -M -N -g users -G "$group" -s /bin/sh "$a"
useradd -M -N -g users -G "$group" -s /bin/sh "$b"
useradd -M -N -g users -s /bin/sh "$c"
# The probe where every account can run it.
probe=$prog/startup_probe
install -m 755 "$probe_built" "$probe"

# as <account> <umask> <command...>: runs the command as that account.
as() {
  local user=$1 mask=$2
  shift 2
  runuser -u "$user" -- env -i PATH=/usr/bin:/bin QT_QPA_PLATFORM=offscreen HOME=/tmp LANG=C.UTF-8 \
    sh -c 'umask "$0"; exec "$@"' "$mask" "$@"
}

# 1. The first account starts the installed program from the PATH, with a
#    umask that would give files no group write. It locks the folder, makes
#    the day's copy, then waits for the first nursery.
setsid bash -c "$(declare -f as); as $a 022 timeout --foreground 120 $prefix/bin/velmora" >/dev/null 2>&1 &
holder_pid=$!
for _ in $(seq 1 200); do
  [ -f "$data/db/velmora.lock.info" ] && [ -n "$(ls "$data/copie" 2>/dev/null | grep -E '^[0-9]{4}-' || true)" ] && break
  sleep 0.2
done
[ -f "$data/db/velmora.lock.info" ] || fail "the program as $a left no lock note"
grep -qx "utente=$a" "$data/db/velmora.lock.info" || fail "the lock note does not name $a"
copy=$(ls "$data/copie" | grep -E '^[0-9]{4}-[0-9]{2}-[0-9]{2}_[0-9]{4}$' | head -1)
[ -n "$copy" ] || fail "no daily copy written by $a"
sleep 1 # the copy's folder is renamed into place once whole and checked
for f in velmora.lock velmora.lock.info; do
  [ "$(stat -c '%a %G' "$data/db/$f")" = "660 $group" ] || fail "$f is $(stat -c '%a %G' "$data/db/$f")"
done
private_to_group "with the program of $a running"

# 2. The second account of the group is refused while the first holds the
#    folder, with the holder named, and changes nothing.
note=$(cat "$data/db/velmora.lock.info")
rc=0
out=$(as "$b" 077 "$probe" "$prog") || rc=$?
[ "$rc" = 1 ] || fail "the second account ended with $rc instead of 1: $out"
echo "$out" | grep -q "è già in uso da un altro programma Velmora" || fail "the second account was not told the folder is in use: $out"
echo "$out" | grep -q "dall'utente $a" || fail "the refusal does not name $a: $out"
echo "$out" | grep -q "dalle [0-9][0-9]:[0-9][0-9] del " || fail "the refusal does not say since when: $out"
[ "$(cat "$data/db/velmora.lock.info")" = "$note" ] || fail "the refused program changed the lock note"

# 3. The outsider: told the group and the command, and no file readable.
rc=0
out=$(as "$c" 022 "$probe" "$prog") || rc=$?
[ "$rc" = 1 ] || fail "the outsider ended with $rc instead of 1: $out"
echo "$out" | grep -q "usermod -aG $group $c" || fail "the outsider is not told the group and the command: $out"
for f in "$data/db/AnagBimbi.DB" "$data/db/AnagEdu.db" "$data/copie/$copy/AnagEdu.db" "$prog/db/AnagEdu.db"; do
  if as "$c" 022 cat "$f" >/dev/null 2>&1; then fail "the outsider reads $f"; fi
done
if as "$c" 022 ls "$data/db" >/dev/null 2>&1; then fail "the outsider lists the data folder"; fi
if as "$c" 022 ls "$data/copie" >/dev/null 2>&1; then fail "the outsider lists the copies"; fi

# The administrator's command refuses while a program holds the folder.
rc=0
out=$("$prefix/sbin/velmora-install" --ripristina "$copy" 2>&1) || rc=$?
[ "$rc" = 1 ] || fail "velmora-install --ripristina ended with $rc while the folder was held: $out"
echo "$out" | grep -q "dall'utente $a" || fail "velmora-install --ripristina does not name the holder: $out"

kill -9 -- "-$holder_pid" 2>/dev/null || true
wait "$holder_pid" 2>/dev/null || true
holder_pid=

# 4. A damaged file, restored by the second account: the question names the
#    copy's date and time and what is lost; the damaged file is kept aside;
#    the restored file has the group and mode of its neighbours.
head -c 16384 /dev/urandom > "$prefix/damaged"
cat "$prefix/damaged" > "$data/db/FasiVal.db"
when=$(echo "$copy" | sed -E 's/^([0-9]{4})-([0-9]{2})-([0-9]{2})_([0-9]{2})([0-9]{2})$/le \4:\5 del \3\/\2\/\1/')
rc=0
out=$(as "$b" 077 "$probe" "$prog" --risposte si) || rc=$?
echo "$out" | grep -q "Rimettere il file FasiVal.db dalla copia giornaliera delle ${when#le }?" \
  || fail "the restore question does not name the copy ($when): $out"
echo "$out" | grep -q "andranno persi i dati inseriti in FasiVal.db dopo $when" || fail "the question does not say what is lost: $out"
echo "$out" | grep -q "Il file FasiVal.db è stato rimesso" || fail "the restore was not told: $out"
aside=$(find "$data/copie/danneggiati" -name FasiVal.db | head -1)
[ -n "$aside" ] || fail "the damaged file was not kept aside"
cmp -s "$aside" "$prefix/damaged" || fail "the file kept aside is not the damaged one"
[ "$(stat -c '%a %G' "$data/db/FasiVal.db")" = "660 $group" ] || fail "the restored file is $(stat -c '%a %G' "$data/db/FasiVal.db")"
private_to_group "after the restore by $b"

# 5. The first account starts after the restore and posts the first nursery.
rc=0
out=$(as "$a" 077 "$probe" "$prog" --nido "Nido Prova $tag") || rc=$?
[ "$rc" = 0 ] || fail "$a could not start after the restore ($rc): $out"
echo "$out" | grep -q "danneggiat" && fail "$a was told of damage after the restore: $out"
echo "$out" | grep -q "AVVIATO" || fail "$a did not start: $out"
grep -aq "Nido Prova $tag" "$data/db/AnagNido.db" || fail "the nursery posted by $a is not in AnagNido.db"
private_to_group "after $a posted"

# 5b. Files left by an older version or copied in by hand without the
#     group's permissions: a member of the group is told whose the file is
#     and the command that mends it, and changes nothing; a lock file of
#     the first account's is given the shared mode when she starts again.
chown "$a" "$data/db/velmora.lock" && chmod 644 "$data/db/velmora.lock"
rc=0
out=$(as "$b" 077 "$probe" "$prog") || rc=$?
[ "$rc" = 1 ] || fail "$b went on with a lock file it cannot write ($rc): $out"
echo "$out" | grep -q "il file velmora.lock appartiene all'utente $a con i permessi rw-r--r--" || fail "the unwritable lock is not explained: $out"
echo "$out" | grep -q "fa già parte del gruppo \"$group\".*chmod 660 " || fail "the member is not told the command: $out"
as "$a" 077 "$probe" "$prog" >/dev/null || fail "$a could not start on her own lock file"
[ "$(stat -c '%a %G' "$data/db/velmora.lock")" = "660 $group" ] || fail "the lock file of $a was not given the shared mode"
chown "$a" "$data/db/Ruoli.db" && chmod 600 "$data/db/Ruoli.db"
rc=0
out=$(as "$b" 077 "$probe" "$prog") || rc=$?
[ "$rc" = 1 ] || fail "$b went on with a file it cannot open ($rc): $out"
echo "$out" | grep -q "Il file Ruoli.db della cartella dati non si può aprire da questo utente ($b): appartiene all'utente $a" \
  || fail "the unreadable file is not explained: $out"
echo "$out" | grep -q "chgrp $group '$data/db/Ruoli.db' && chmod 660 '$data/db/Ruoli.db'" || fail "the command that mends it is not given: $out"
chown root "$data/db/Ruoli.db" && chmod 660 "$data/db/Ruoli.db"

# 6. The administrator puts the day's copy back (the nursery goes, kept in
#    copie/sostituiti/), and the second account starts on it.
out=$("$prefix/sbin/velmora-install" --ripristina "$copy") || fail "velmora-install --ripristina: $out"
grep -aq "Nido Prova $tag" "$data/db/AnagNido.db" && fail "the copy put back still holds the nursery"
grep -aq "Nido Prova $tag" "$data"/copie/sostituiti/*/AnagNido.db || fail "the replaced files were not kept aside"
private_to_group "after velmora-install --ripristina"
rc=0
out=$(as "$b" 077 "$probe" "$prog" --nido "Secondo $tag") || rc=$?
[ "$rc" = 0 ] && echo "$out" | grep -q AVVIATO || fail "$b could not start after the administrator's restore ($rc): $out"
grep -aq "Secondo $tag" "$data/db/AnagNido.db" || fail "the nursery posted by $b is not in AnagNido.db"
private_to_group "at the end"
echo ok
