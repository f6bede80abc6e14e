#!/usr/bin/env bash
# `tallowin apply --config` and `--write-config`: configuration files written by
# the program are applied exactly, and the pass runs with them.
# Usage: test_apply_config.sh PATH-TO-TALLOWIN
set -uo pipefail

source "$(dirname "$(realpath "$0")")/cli_test_setup.sh"

# keys FILE: "SECTION/key=value" per line, sorted, from a configuration file of either encoding.
keys() {
  /usr/bin/python3 - "$1" <<'PY'
import sys
data = open(sys.argv[1], 'rb').read()
text = data[2:].decode('utf-16-le') if data[:2] == b'\xff\xfe' else data.decode('cp1252')
section, rows = '', []
for line in text.split('\r\n'):
    if line.startswith('['):
        section = line.strip('[]')
    elif '=' in line:
        key, value = line.split('=', 1)
        rows.append(f'{section}/{key}={value}')
print('\n'.join(sorted(rows)))
PY
}

# The start values, then every setting moved off them through --set.
"$program" apply --write-config defaults.twk </dev/null >/dev/null 2>err || fail "writing the defaults: $(cat err)"
mapfile -t rows < <(keys defaults.twk)
[ "${#rows[@]}" -gt 80 ] || fail "the defaults file holds only ${#rows[@]} keys"
sets=()
for row in "${rows[@]}"; do
  section=${row%%/*}
  rest=${row#*/}
  key=${rest%%=*}
  value=${rest#*=}
  case $section in
    PBPA) [[ $key == pa00?b ]] || sets+=(--set "$key=$((1 - value))") ;;  # a load collapses every section body
    ??CH) sets+=(--set "$key=$((1 - value))") ;;
    ??CB | ??ED) sets+=(--set "$key= v $key ä ") ;;
    ??ME) sets+=(--set "$key=first"$'\n'"second $key") ;;
    ??SB) sets+=(--set "$key=37") ;;
  esac
done
sets+=(--set rb_cutimg_direkt=1 --set rb_utf16le=1 --set m_konfig_autosave_alles=1 --set m_konfig_autosave_nie=0)
"$program" apply "${sets[@]}" --write-config a.twk </dev/null >/dev/null 2>err || fail "writing a.twk: $(cat err)"

# Loading a.twk and saving again gives every key with the same value, but for
# the section bodies: a load ends with every body collapsed.
"$program" apply --config a.twk --write-config b.twk </dev/null >/dev/null 2>err || fail "a.twk to b.twk: $(cat err)"
keys b.twk | grep '^PBPA/pa00.b=1' >/dev/null && fail "a section body is open after the load"
if ! diff <(keys a.twk | grep -v '^PBPA/pa00.b=') <(keys b.twk | grep -v '^PBPA/pa00.b=') >diff.txt; then
  fail "the settings loaded from a.twk differ from those saved:" "$(cat diff.txt)"
fi
# ... and the fixture really moved every setting off its start value.
changed=$(comm -12 <(keys defaults.twk) <(keys a.twk) | grep -v '^SP/\|^PBPA/pa00.b=' | grep -cv '^EARB/rb_\|^PBRB/rb_')
[ "$changed" -eq 0 ] || fail "$changed settings kept their start value: $(comm -12 <(keys defaults.twk) <(keys a.twk) | head -5)"
keys a.twk | grep '^PBME/act_textadd_vorne=first'$'\v''second act_textadd_vorne$' >/dev/null ||
  fail "a memo line break is not stored as U+000B"

# The pass runs with the loaded settings; --set comes after the configurations.
printf '[PBCH]\r\ncb_textadd=1\r\n[PBME]\r\nact_textadd_vorne=<\r\nact_textadd_hinten=>\r\n' >add.twk
out=$(printf 'x' | "$program" apply --config add.twk --set 'act_textadd_hinten=]' 2>err)
[ "$out" = "<x]" ] || fail "add.twk then --set: got '$out' $(cat err)"
# Configurations apply in order, each on top of the previous; a missing one changes nothing.
printf '[pbme]\r\nACT_TEXTADD_VORNE=(\r\n' >second.twk
out=$(printf 'x' | "$program" apply --config add.twk --config missing.twk --config second.twk 2>err)
[ "$out" = "(x>" ] || fail "add.twk, missing.twk, second.twk: got '$out' $(cat err)"
[ ! -e missing.twk ] || fail "loading a missing file created it"
grep -q "warning: configuration missing.twk not found" err || fail "no word about the missing configuration: $(cat err)"

# A file that cannot be created is reported with the described message.
printf '' | "$program" apply --write-config "$work/no/such.twk" >/dev/null 2>err
status=$?
[ "$status" -eq 1 ] || fail "write into a missing folder: exit status $status"
grep -qx "Cannot create file \"$work/no/such.twk\". No such file or directory" err || fail "message: $(cat err)"

# An existing file is updated in place: its other keys stay.
printf '[Mine]\r\nkeep=1\r\n' >own.twk
"$program" apply --set cb_textadd=1 --write-config own.twk </dev/null >/dev/null 2>err || fail "own.twk: $(cat err)"
keys own.twk | grep -x 'Mine/keep=1' >/dev/null || fail "a foreign key was lost"
keys own.twk | grep -x 'PBCH/cb_textadd=1' >/dev/null || fail "cb_textadd was not written"
[ "$(head -c 2 own.twk | od -An -tx1 | tr -d ' ')" != "fffe" ] || fail "an ANSI file was re-encoded"

finish
