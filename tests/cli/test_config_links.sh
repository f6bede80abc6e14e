#!/usr/bin/env bash
# `tallowin apply --write-config` onto names that are not plain files of their
# own: a symbolic link (into a dotfiles folder), a hard link, a private file, a
# dangling link, a FIFO. The file a link names gets the new content; links,
# hard links, mode and owner stay; a FIFO is refused at once. A captured text
# saved at a linked name still replaces the link (that is the text saves' rule).
# Usage: test_config_links.sh PATH-TO-TALLOWIN
set -uo pipefail

source "$(dirname "$(realpath "$0")")/cli_test_setup.sh"

umask 022
# has FILE LINE: the configuration file (UTF-16LE or 8-bit) holds LINE.
has() {
  /usr/bin/python3 - "$1" "$2" <<'PY'
import sys
try:
    data = open(sys.argv[1], 'rb').read()
except OSError:
    sys.exit(1)
text = data[2:].decode('utf-16-le') if data[:2] == b'\xff\xfe' else data.decode('cp1252')
sys.exit(0 if sys.argv[2] in text.split('\r\n') else 1)
PY
}
write_config() {  # NAME: saves the settings with cb_textadd on into NAME
  "$program" apply --set cb_textadd=1 --write-config "$1" </dev/null >/dev/null 2>err
}
leftovers() {  # FOLDER...: the temporary files left behind
  find "$@" -maxdepth 1 -name '.*.tmp'
}

# The user's Auto.twk lives in a dotfiles folder, reached through two links
# (one relative), and is private to the user.
mkdir -p dotfiles/tallowin home
printf '[Mine]\r\nkeep=1\r\n' >dotfiles/tallowin/Auto.twk
chmod 600 dotfiles/tallowin/Auto.twk
ln -s ../dotfiles/tallowin/Auto.twk home/Auto.twk
ln -s home/Auto.twk Auto.twk
write_config Auto.twk || fail "saving through the link chain: $(cat err)"
[ -L Auto.twk ] && [ -L home/Auto.twk ] || fail "a link of the chain was replaced by a file"
[ "$(readlink home/Auto.twk)" = ../dotfiles/tallowin/Auto.twk ] || fail "the inner link changed"
has dotfiles/tallowin/Auto.twk 'cb_textadd=1' || fail "the linked file did not get the new content"
has dotfiles/tallowin/Auto.twk 'keep=1' || fail "the linked file lost its foreign key"
[ "$(stat -c %a dotfiles/tallowin/Auto.twk)" = 600 ] ||
  fail "the private file became mode $(stat -c %a dotfiles/tallowin/Auto.twk)"
[ -z "$(leftovers . home dotfiles/tallowin)" ] || fail "temporary files left: $(leftovers . home dotfiles/tallowin)"

# A private file saved over directly keeps its mode too (a umask of 022 would give 644).
printf '' >private.twk
chmod 640 private.twk
write_config private.twk || fail "saving private.twk: $(cat err)"
[ "$(stat -c %a private.twk)" = 640 ] || fail "private.twk became mode $(stat -c %a private.twk)"
has private.twk 'cb_textadd=1' || fail "private.twk was not written"

# A hard link: both names see the new content and stay one file.
printf '[Mine]\r\nkeep=2\r\n' >first.twk
ln first.twk second.twk
write_config first.twk || fail "saving a hard-linked file: $(cat err)"
[ "$(stat -c %i first.twk)" = "$(stat -c %i second.twk)" ] || fail "the hard link was broken"
[ "$(stat -c %h first.twk)" = 2 ] || fail "the file has $(stat -c %h first.twk) names"
has second.twk 'cb_textadd=1' || fail "the other name does not see the new content"
has second.twk 'keep=2' || fail "the other name lost the foreign key"
[ -z "$(leftovers .)" ] || fail "temporary files left: $(leftovers .)"

# As root the owner is kept as well: a file of another user stays theirs.
if [ "$(id -u)" = 0 ]; then
  printf '' >theirs.twk
  chown 4321:4322 theirs.twk
  write_config theirs.twk || fail "saving theirs.twk: $(cat err)"
  [ "$(stat -c %u:%g theirs.twk)" = 4321:4322 ] || fail "theirs.twk now belongs to $(stat -c %u:%g theirs.twk)"
fi

# A dangling link makes the file it names, where that file's folder exists.
ln -s dotfiles/new.twk dangling.twk
write_config dangling.twk || fail "saving through a dangling link: $(cat err)"
[ -L dangling.twk ] || fail "the dangling link was replaced"
has dotfiles/new.twk 'cb_textadd=1' || fail "the file the dangling link names was not made"
ln -s no/such/folder.twk nowhere.twk
write_config nowhere.twk
status=$?
[ "$status" -eq 1 ] || fail "a link into a missing folder: exit status $status"
grep -qx 'Cannot create file "nowhere.twk". No such file or directory' err || fail "message: $(cat err)"
[ -L nowhere.twk ] || fail "the link into a missing folder was replaced"

# A FIFO, directly or at the end of a link, is refused without waiting for a reader.
mkfifo pipe.twk
ln -s pipe.twk pipe-link.twk
for name in pipe.twk pipe-link.twk; do
  timeout 10 "$program" apply --write-config "$name" </dev/null >/dev/null 2>err
  status=$?
  [ "$status" -eq 1 ] || fail "$name: exit status $status (124: it blocked)"
  grep -qx "Unable to write to $name" err || fail "$name: message: $(cat err)"
done
[ -p pipe.twk ] && [ -L pipe-link.twk ] || fail "the FIFO or its link was replaced"

# Text saves are not configuration files: a link at a text file's name is
# replaced by the file and what it pointed to is left alone.
printf 'keep me' >precious.txt
ln -s precious.txt 'saved.txt'
out=$(printf 'captured' | "$program" apply --set cb_savetxt=1 --set "savetxt_ordner=$work" \
  --set savetxt_name=saved --set savetxt_format=.txt --set rb_utf8=1 2>err) || fail "text save: $(cat err)"
[ "$(cat precious.txt)" = 'keep me' ] || fail "the text save wrote through the link"
[ -f saved.txt ] && [ ! -L saved.txt ] || fail "the text save kept the link"

finish
