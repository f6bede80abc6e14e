#!/usr/bin/env bash
# `tallowin apply`: one capture pass over a text or image from the command line.
# Usage: test_apply.sh PATH-TO-TALLOWIN
# Outputs are compared as bytes (files and cmp), so trailing line breaks count.
# Single-quoted "$0" and the like are meant literally: they are expression templates.
# shellcheck disable=SC2016
set -uo pipefail

source "$(dirname "$(realpath "$0")")/cli_test_setup.sh"
passed=0
pass() { passed=$((passed + 1)); }

# run INPUT-BYTES ARGS...: runs `apply` with INPUT-BYTES on standard input;
# leaves stdout in $work/out, stderr in $work/err and the exit status in $status.
run() {
  local input=$1
  shift
  printf '%s' "$input" | "$program" apply "$@" >"$work/out" 2>"$work/err"
  status=$?
}

# expect_text NAME INPUT EXPECTED ARGS...: exit 0 and exactly EXPECTED on stdout.
expect_text() {
  local name=$1 input=$2 expected=$3
  shift 3
  run "$input" "$@"
  printf '%s' "$expected" >"$work/expected"
  if [ "$status" -ne 0 ]; then
    fail "$name" "exit status $status, stderr: $(cat "$work/err")"
  elif ! cmp -s "$work/out" "$work/expected"; then
    fail "$name" "expected: $(od -An -c "$work/expected" | tr -s ' ')" "actual:   $(od -An -c "$work/out" | tr -s ' ')"
  else
    pass
  fi
}

# expect_status NAME STATUS INPUT ARGS...: that exit status, a message on stderr, nothing on stdout.
expect_status() {
  local name=$1 want=$2 input=$3
  shift 3
  run "$input" "$@"
  if [ "$status" -ne "$want" ]; then
    fail "$name" "expected exit status $want, got $status" "stdout: $(cat "$work/out")" "stderr: $(cat "$work/err")"
  elif [ ! -s "$work/err" ]; then
    fail "$name" "exit status $want but no message on stderr"
  elif [ -s "$work/out" ]; then
    fail "$name" "unexpected output on stdout: $(cat "$work/out")"
  else
    pass
  fi
}

# expect_bytes NAME FILE HEX: FILE holds exactly the bytes HEX (e.g. "ef bb bf 78").
expect_bytes() {
  local name=$1 file=$2 want=$3
  if [ ! -f "$file" ]; then
    fail "$name" "no file $file" "files there: $(find "$(dirname "$file")" -mindepth 1 -maxdepth 1 -printf '%f|' 2>&1)"
    return
  fi
  local got
  got=$(od -An -tx1 -v "$file" | tr -s ' \n' ' ' | sed 's/^ //; s/ $//')
  if [ "$got" != "$want" ]; then
    fail "$name" "expected bytes: $want" "actual bytes:   $got"
  else
    pass
  fi
}

search=(--set cb_suchenersetzen=1)

# --- Search and replace: the single pair, the table rows, both together --------
expect_text "pair, case-sensitive by default" 'AaA' 'AbA' \
  "${search[@]}" --set act_ers_text_suchen=a --set act_ers_text_ersetzen=b
expect_text "pair, ignoring case" 'AaA' 'bbb' \
  "${search[@]}" --set act_ers_text_suchen=a --set act_ers_text_ersetzen=b --set act_ers_casesensitive=0
expect_text "pair, upper case of a non-ASCII letter" 'Äpfel äpfel' 'aepfel aepfel' \
  "${search[@]}" --set act_ers_text_suchen=ä --set act_ers_text_ersetzen=ae --set act_ers_casesensitive=0
expect_text "pair, replacement not searched again" 'aa' 'aaaa' \
  "${search[@]}" --set act_ers_text_suchen=a --set act_ers_text_ersetzen=aa
expect_text "pair, multi-unit search, non-overlapping" 'aaaaa' 'bba' \
  "${search[@]}" --set act_ers_text_suchen=aa --set act_ers_text_ersetzen=b
expect_text "rows apply in order, each on the result of the one before" 'a' 'c' \
  "${search[@]}" --row a b - --row b c -
expect_text "rows run after the pair" 'x' 'z' \
  "${search[@]}" --set act_ers_text_suchen=x --set act_ers_text_ersetzen=y --row y z -
expect_text "rows follow the case setting" 'AaA' 'bbb' \
  "${search[@]}" --set act_ers_casesensitive=0 --row a b -
expect_text "rows are ignored while search and replace is off" 'a' 'a' --row a b -
expect_text "empty search field and no rows: text unchanged" 'Grüße 𝄞' 'Grüße 𝄞' "${search[@]}"
expect_text "line breaks in the search text" $'one\r\ntwo\r\n' 'one two ' \
  "${search[@]}" --set $'act_ers_text_suchen=\r\n' --set 'act_ers_text_ersetzen= '

# --- Expressions: literal replacement, templates, row markers ---------------------
regex_search=("${search[@]}" --set act_ers_text_suchen_regex=1 --set 'act_ers_text_suchen=[0-9]+')
expect_text "expression, literal replacement: \$ has no meaning" 'a12b3' 'a#$0b#$0' \
  "${regex_search[@]}" --set 'act_ers_text_ersetzen=#$0'
expect_text "expression with template" 'a12b3' 'a<12>b<3>' \
  "${regex_search[@]}" --set act_ers_text_ersetzen_regex=1 --set 'act_ers_text_ersetzen=<$0>'
expect_text "template, backslash takes the dollar literally" 'a12b3' 'a$0b$0' \
  "${regex_search[@]}" --set act_ers_text_ersetzen_regex=1 --set 'act_ers_text_ersetzen=\$0'
expect_text "template flag alone: plain search, replacement as typed" 'xa' 'x$0' \
  "${search[@]}" --set act_ers_text_ersetzen_regex=1 --set act_ers_text_suchen=a --set 'act_ers_text_ersetzen=$0'
expect_text "empty matches are replaced too" 'ab' '-a-b-' \
  "${search[@]}" --set act_ers_text_suchen_regex=1 --set 'act_ers_text_suchen=x*' --set 'act_ers_text_ersetzen=-'
expect_text "an expression that does not compile leaves the text and the run goes on" 'a(b' '[a(b]' \
  "${search[@]}" --set act_ers_text_suchen_regex=1 --set 'act_ers_text_suchen=a(' --set act_ers_text_ersetzen=z \
  --set cb_textadd=1 --set 'act_textadd_vorne=[' --set 'act_textadd_hinten=]'
expect_text "row markers: x is a template, x/- literal, -/x plain" 'a12b3 \d' 'a<12>b<3> D' \
  "${search[@]}" --row '[0-9]+' '<$0>' x --row 'b<' 'b#$0<' 'x/-' --row '#$0' '' '-/x' --row '\d' 'D' '-/x'

# --- Adding text in front and behind ------------------------------------------
expect_text "add text with line breaks in both values" 'body' $'Dear all,\n\nbody\n-- \nSent from Tallowin\n' \
  --set cb_textadd=1 --set $'act_textadd_vorne=Dear all,\n\n' --set $'act_textadd_hinten=\n-- \nSent from Tallowin\n'
expect_text "add text keeps non-BMP characters" '€ 𝄞' '«€ 𝄞»' \
  --set cb_textadd=1 --set 'act_textadd_vorne=«' --set 'act_textadd_hinten=»'
expect_text "add text goes around the replaced text" 'AaA' '[AbA]' \
  "${search[@]}" --set act_ers_text_suchen=a --set act_ers_text_ersetzen=b \
  --set cb_textadd=1 --set 'act_textadd_vorne=[' --set 'act_textadd_hinten=]'
expect_text "empty clipboard text: add text writes nothing" '' '' \
  --set cb_textadd=1 --set 'act_textadd_vorne=[' --set 'act_textadd_hinten=]'
expect_text "add text off: front and back texts unused" 'abc' 'abc' \
  --set 'act_textadd_vorne=[' --set 'act_textadd_hinten=]'

# --- INPUT and --output ----------------------------------------------------------
printf 'from a file' >"$work/input.txt"
"$program" apply --set cb_textadd=1 --set 'act_textadd_hinten=!' --output "$work/written.txt" "$work/input.txt" \
  </dev/null >"$work/out" 2>"$work/err"
status=$?
printf 'from a file!' >"$work/expected"
if [ "$status" -eq 0 ] && cmp -s "$work/written.txt" "$work/expected" && [ ! -s "$work/out" ]; then
  pass
else
  fail "INPUT file and --output file" "exit $status, stderr: $(cat "$work/err")" \
    "written: $(cat "$work/written.txt" 2>&1)" "stdout: $(cat "$work/out")"
fi

# --- Saving text files: folder, counter, encoding ---------------------------------
save_dir="$work/saved"
mkdir -p "$save_dir"
expect_text "saving prints the text as well" 'x€' 'x€' --set cb_savetxt=1 --set "savetxt_ordner=$save_dir"
expect_bytes "a text beyond Latin-1 is saved as UTF-8 with BOM" "$save_dir/Clipboard Text 1.txt" \
  "ef bb bf 78 e2 82 ac"
# A new process starts counting at 0 again and takes the first free number.
expect_text "second save in the same folder" 'ä' 'ä' --set cb_savetxt=1 --set "savetxt_ordner=$save_dir/"
expect_bytes "a Latin-1 text is saved as one byte per character (Windows-1252)" "$save_dir/Clipboard Text 2.txt" "e4"
expect_bytes "the first file is left alone" "$save_dir/Clipboard Text 1.txt" "ef bb bf 78 e2 82 ac"

nested="$work/new/deeper/folder"
expect_text "saving into a folder that does not exist yet" 'abc' 'abc' \
  --set cb_savetxt=1 --set "savetxt_ordner=$nested" --set 'savetxt_name=note %num%' --set savetxt_format=log
expect_bytes "missing folders are created; format without a dot gets one" "$nested/note 1.log" "61 62 63"

expect_text "the saved text is the text after replacing and adding" 'a' '<b>' \
  "${search[@]}" --set act_ers_text_suchen=a --set act_ers_text_ersetzen=b \
  --set cb_textadd=1 --set 'act_textadd_vorne=<' --set 'act_textadd_hinten=>' \
  --set cb_savetxt=1 --set "savetxt_ordner=$work/combined"
expect_bytes "saved after replacing and adding" "$work/combined/Clipboard Text 1.txt" "3c 62 3e"

expect_text "without a folder setting the program folder is used" 'home' 'home' --set cb_savetxt=1
expect_bytes "saved into the program folder" "$TALLOWIN_HOME/Clipboard Text 1.txt" "68 6f 6d 65"

expect_text "a relative folder is no valid folder: nothing saved, no error" 'x' 'x' \
  --set cb_savetxt=1 --set savetxt_ordner=relative/folder
if [ -e "$work/relative" ]; then fail "relative folder must not be created"; else pass; fi

expect_text "an empty name: nothing saved, no error" 'x' 'x' \
  --set cb_savetxt=1 --set "savetxt_ordner=$work/noname" --set savetxt_name=
if [ -n "$(ls -A "$work/noname" 2>/dev/null)" ]; then fail "empty name must save nothing"; else pass; fi

# A folder of the file's name does not count as taken, so the program tries to
# create the file there and fails: a raised error, exit 1, the file's name in the message.
blocked="$work/blocked"
mkdir -p "$blocked/Clipboard Text 1.txt"
expect_status "a file that cannot be created is a raised error" 1 'x' \
  --set cb_savetxt=1 --set "savetxt_ordner=$blocked"
if grep -q 'Clipboard Text 1.txt' "$work/err"; then pass; else fail "error names the file" "$(cat "$work/err")"; fi

# --- Saving only into regular files, whole or not at all --------------------------
fixed=(--set cb_savetxt=1 --set savetxt_name=fixed --set savetxt_format=txt)
large_text=$(head -c 300000 /dev/zero | tr '\0' 'x')

# A FIFO at the file's name, with a reader that stops after one byte: the program
# must not die of SIGPIPE, and must not write into it at all.
special="$work/special"
mkdir -p "$special"
mkfifo "$special/fixed.txt"
(head -c 1 <"$special/fixed.txt" >/dev/null) &
reader=$!
sleep 0.3
printf '%s' "$large_text" | timeout 20 "$program" apply "${fixed[@]}" --set "savetxt_ordner=$special" \
  >/dev/null 2>"$work/err"
status=$?
kill "$reader" 2>/dev/null
wait "$reader" 2>/dev/null
if [ "$status" -eq 1 ] && grep -qF "Cannot create file \"$special/fixed.txt\". Operation not supported" "$work/err"; then
  pass
else
  fail "a FIFO whose reader stops early is refused like an uncreatable file" "exit $status" "stderr: $(cat "$work/err")"
fi
# A FIFO held open by a process that never reads: no hang.
sleep 600 <>"$special/fixed.txt" &
holder=$!
printf '%s' "$large_text" | timeout 20 "$program" apply "${fixed[@]}" --set "savetxt_ordner=$special" \
  >/dev/null 2>"$work/err"
status=$?
kill "$holder" 2>/dev/null
wait "$holder" 2>/dev/null
if [ "$status" -eq 1 ] && grep -qF 'Operation not supported' "$work/err"; then pass; else
  fail "a FIFO nobody reads is refused at once" "exit $status (124: hung)" "stderr: $(cat "$work/err")"
fi
if [ -p "$special/fixed.txt" ] && [ "$(find "$special" -mindepth 1 | wc -l)" -eq 1 ]; then pass; else
  fail "the FIFO stays and nothing else is left" "$(ls -la "$special")"
fi

# A fixed name held by a symbolic link: the link is replaced, its target untouched.
linked="$work/linked"
mkdir -p "$linked"
printf 'precious' >"$work/precious.txt"
ln -s "$work/precious.txt" "$linked/fixed.txt"
expect_text "saving over a symbolic link" 'new' 'new' "${fixed[@]}" --set "savetxt_ordner=$linked"
if [ "$(cat "$work/precious.txt")" = precious ] && [ -f "$linked/fixed.txt" ] && [ ! -L "$linked/fixed.txt" ]; then
  pass
else
  fail "the link's target must stay untouched" "target: $(cat "$work/precious.txt")" "$(ls -la "$linked")"
fi
expect_bytes "the link was replaced by the saved file" "$linked/fixed.txt" "6e 65 77"

# A name that climbs out of the chosen folder is unusable: nothing saved, no error.
mkdir -p "$work/inside"
expect_text "a name holding ../ saves nothing" 'x' 'x' \
  --set cb_savetxt=1 --set "savetxt_ordner=$work/inside" --set 'savetxt_name=../escaped'
if [ -e "$work/escaped.txt" ] || [ -n "$(ls -A "$work/inside")" ]; then
  fail "nothing may be written for a name holding /" "$(ls -la "$work" "$work/inside")"
else
  pass
fi

# A full disk: a tiny tmpfs. The old file stays whole, no partial file is left.
tiny="$work/tiny"
mkdir -p "$tiny"
if mount -t tmpfs -o size=64k tmpfs "$tiny" 2>/dev/null; then
  printf 'old' >"$tiny/fixed.txt"
  printf '%s' "$large_text" | "$program" apply "${fixed[@]}" --set "savetxt_ordner=$tiny" >/dev/null 2>"$work/err"
  status=$?
  if [ "$status" -eq 1 ] && grep -qx 'Stream write error' "$work/err"; then pass; else
    fail "a full disk is a Stream write error" "exit $status" "stderr: $(cat "$work/err")"
  fi
  if [ "$(cat "$tiny/fixed.txt")" = old ] && [ "$(find "$tiny" -mindepth 1 | wc -l)" -eq 1 ]; then pass; else
    fail "a failed save leaves the old file whole and nothing else" "$(ls -la "$tiny")"
  fi
  printf '%s' "$large_text" | "$program" apply --output "$tiny/out.txt" >/dev/null 2>"$work/err"
  status=$?
  if [ "$status" -eq 1 ] && [ ! -e "$tiny/out.txt" ] && [ "$(find "$tiny" -mindepth 1 | wc -l)" -eq 1 ]; then pass; else
    fail "--output on a full disk fails and leaves nothing" "exit $status" "$(ls -la "$tiny")"
  fi
  umount "$tiny"
else
  printf 'SKIP full-disk cases: mounting a tmpfs is not permitted here\n'
fi

# A file-size limit (ulimit -f, in 1 KiB blocks) is a write error like a full disk:
# the program is not ended by SIGXFSZ and no temporary file is left behind. A
# text save reports it; a picture's save fails silently, as every image save does.
limited="$work/limited"
mkdir -p "$limited"
printf '%s' "$large_text" | (ulimit -f 100 && exec "$program" apply "${fixed[@]}" --set "savetxt_ordner=$limited") \
  >/dev/null 2>"$work/err"
status=$?
if [ "$status" -eq 1 ] && grep -qx 'Stream write error' "$work/err" && [ -z "$(ls -A "$limited")" ]; then pass; else
  fail "a text save over the file-size limit is a Stream write error" "exit $status" "stderr: $(cat "$work/err")" \
    "$(ls -A "$limited")"
fi
/usr/bin/python3 -c 'import random, struct, sys, zlib
w, h = 700, 500
noise = random.Random(7)
rows = b"".join(b"\0" + noise.randbytes(w * 4) for y in range(h))
chunk = lambda k, d: struct.pack(">I", len(d)) + k + d + struct.pack(">I", zlib.crc32(k + d))
sys.stdout.buffer.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0))
                        + chunk(b"IDAT", zlib.compress(rows, 1)) + chunk(b"IEND", b""))' >"$work/big.png"
(ulimit -f 100 && exec "$program" apply --image "$work/big.png" --set cb_saveimg=1 --set "saveimg_ordner=$limited" \
  --set saveimg_name=pic --set "saveimg_format=*.bmp - Windows Bitmap") >/dev/null 2>"$work/err"
status=$?
if [ "$status" -eq 0 ] && [ -z "$(ls -A "$limited")" ]; then pass; else
  fail "a picture save over the file-size limit fails silently and leaves nothing" "exit $status" \
    "stderr: $(cat "$work/err")" "$(ls -A "$limited")"
fi
(ulimit -f 100 && exec "$program" apply --image "$work/big.png" --output "$limited/out.png") 2>"$work/err"
status=$?
if [ "$status" -eq 1 ] && [ -z "$(ls -A "$limited")" ]; then pass; else
  fail "--output over the file-size limit fails and leaves nothing" "exit $status" "stderr: $(cat "$work/err")" \
    "$(ls -A "$limited")"
fi

# Pictures and memory: a resize to more than 1 GiB of pixels fails at once like any
# failed image step (the picture stays as it was); one within that budget whose
# memory runs out under an address-space limit ends with a message and status 1,
# never with a crash.
/usr/bin/python3 -c 'import struct, sys, zlib
chunk = lambda k, d: struct.pack(">I", len(d)) + k + d + struct.pack(">I", zlib.crc32(k + d))
sys.stdout.buffer.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 1, 1, 8, 6, 0, 0, 0))
                        + chunk(b"IDAT", zlib.compress(b"\0\xff\0\0\xff")) + chunk(b"IEND", b""))' >"$work/one.png"
enlarge() { "$program" apply --image "$work/one.png" --set cb_resizeimg=1 --set "act_sizebenutzer_x=$1" \
  --set "act_sizebenutzer_y=$1" --output "$work/enlarged.png"; }
rm -f "$work/enlarged.png"
started=$(date +%s)
enlarge 22500 2>"$work/err"
status=$?
if [ "$status" -eq 0 ] && [ "$(head -c 24 "$work/enlarged.png" | tail -c 8 | od -An -tx1 | tr -d ' \n')" = \
  0000000100000001 ] && [ $(($(date +%s) - started)) -lt 10 ]; then pass; else
  fail "a resize beyond the picture budget fails at once and keeps the picture" "exit $status" "$(cat "$work/err")"
fi
rm -f "$work/enlarged.png"
(ulimit -v 2500000 && enlarge 16000) 2>"$work/err"
status=$?
if [ "$status" -eq 1 ] && grep -qx 'tallowin apply: not enough memory' "$work/err" && [ ! -e "$work/enlarged.png" ]
then pass; else
  fail "a picture whose memory runs out ends with a message" "exit $status" "$(cat "$work/err")"
fi

# --- Standard output and INPUT failures are reported, never hidden -----------------
for redirect in full closed; do
  if [ "$redirect" = full ]; then
    printf 'x' | "$program" apply >/dev/full 2>"$work/err"
  else
    printf 'x' | "$program" apply >&- 2>"$work/err"
  fi
  status=$?
  if [ "$status" -eq 1 ] && grep -q 'cannot write standard output' "$work/err"; then pass; else
    fail "apply with standard output $redirect exits 1" "exit $status" "stderr: $(cat "$work/err")"
  fi
done
"$program" --help >/dev/full 2>"$work/err"
status=$?
if [ "$status" -eq 1 ] && [ -s "$work/err" ]; then pass; else fail "--help into a full device exits 1" "exit $status"; fi
# A reader that stops early: an error, not death by SIGPIPE (141).
printf '%s' "$large_text" >"$work/large.txt"
"$program" apply "$work/large.txt" 2>"$work/err" | head -c 1 >/dev/null
status=${PIPESTATUS[0]}
if [ "$status" -eq 1 ] && grep -q 'Broken pipe' "$work/err"; then pass; else
  fail "apply into a pipe closed early exits 1" "exit $status" "stderr: $(cat "$work/err")"
fi

"$program" apply <&- >"$work/out" 2>"$work/err"
status=$?
if [ "$status" -eq 1 ] && grep -q 'Cannot read standard input' "$work/err" && [ ! -s "$work/out" ]; then pass; else
  fail "apply with standard input closed exits 1" "exit $status" "stderr: $(cat "$work/err")"
fi
expect_status "a folder as INPUT" 1 '' "$work"
if grep -q 'Is a directory' "$work/err"; then pass; else fail "the folder INPUT names the cause" "$(cat "$work/err")"; fi
truncate -s 4G "$work/huge.txt"
(ulimit -v 1500000 && "$program" apply "$work/huge.txt" >"$work/out" 2>"$work/err")
status=$?
if [ "$status" -eq 1 ] && grep -q 'not enough memory' "$work/err" && [ ! -s "$work/out" ]; then pass; else
  fail "an INPUT larger than the memory available exits 1 with a message" "exit $status" "stderr: $(cat "$work/err")"
fi
rm -f "$work/huge.txt"

# --output through a symbolic link writes the file it points to; the link stays.
printf 'old' >"$work/pointed.txt"
ln -s "$work/pointed.txt" "$work/output-link"
printf 'new' | "$program" apply --output "$work/output-link" >/dev/null 2>"$work/err"
if [ "$(cat "$work/pointed.txt")" = new ] && [ -L "$work/output-link" ]; then pass; else
  fail "--output follows a link the user named" "stderr: $(cat "$work/err")"
fi

if [ -n "${DISPLAY:-}" ] && command -v xclip >/dev/null; then
  # -quiet keeps xclip in the foreground, so it can be ended here.
  printf 'on the clipboard' | xclip -selection clipboard -quiet >/dev/null 2>&1 &
  owner_pid=$!
  sleep 0.3
  "$program" formats >/dev/full 2>"$work/err"
  status=$?
  if [ "$status" -eq 1 ] && grep -q 'cannot write standard output' "$work/err"; then pass; else
    fail "formats into a full device exits 1" "exit $status" "stderr: $(cat "$work/err")"
  fi
  "$program" formats >&- 2>"$work/err"
  status=$?
  if [ "$status" -eq 1 ]; then pass; else fail "formats with standard output closed exits 1" "exit $status"; fi
  kill "$owner_pid" 2>/dev/null
  wait "$owner_pid" 2>/dev/null
else
  printf 'SKIP formats output cases: no X display or no xclip\n'
fi

# --- The program folder when nothing else is usable --------------------------------
# An unprivileged user without HOME or XDG_DATA_HOME, whose executable's folder it
# cannot write: the fallback folder under TMPDIR belongs to that user alone.
if command -v setpriv >/dev/null && [ "$(id -u)" -eq 0 ] && ! [ -d "$(getent passwd nobody | cut -d: -f6)" ]; then
  chmod 755 "$work"
  shared="$work/tmp"
  mkdir -p "$shared"
  chmod 1777 "$shared"
  as_nobody() {
    setpriv --reuid=65534 --regid=65534 --clear-groups \
      env -u HOME -u XDG_DATA_HOME -u TALLOWIN_HOME TMPDIR="$shared" "$program" apply --set cb_savetxt=1 "$@"
  }
  # Another user prepared the folder, open to everyone: refused with a clear message.
  mkdir -m 777 "$shared/tallowin-65534"
  chmod 777 "$shared/tallowin-65534"
  printf 'secret' | as_nobody >/dev/null 2>"$work/err"
  status=$?
  if [ "$status" -eq 1 ] && grep -q "tallowin-65534/ is owned by another user" "$work/err" &&
    [ -z "$(ls -A "$shared/tallowin-65534")" ]; then
    pass
  else
    fail "a fallback folder another user controls is refused" "exit $status" "stderr: $(cat "$work/err")" \
      "$(ls -la "$shared/tallowin-65534")"
  fi
  rmdir "$shared/tallowin-65534"
  printf 'mine' | as_nobody >/dev/null 2>"$work/err"
  status=$?
  owner=$(stat -c '%u %a' "$shared/tallowin-65534" 2>&1)
  if [ "$status" -eq 0 ] && [ "$owner" = "65534 700" ] && [ -f "$shared/tallowin-65534/Clipboard Text 1.txt" ]; then
    pass
  else
    fail "the fallback folder is made for the user alone" "exit $status, owner and mode: $owner" \
      "stderr: $(cat "$work/err")"
  fi
else
  printf 'SKIP program folder cases: needs root, setpriv and a user "nobody" without a home folder\n'
fi

# --- Images ------------------------------------------------------------------------
if command -v convert >/dev/null && command -v identify >/dev/null; then
  convert -size 3x2 xc:red "png:$work/red.png"
  "$program" apply --image --output "$work/red-out.png" "$work/red.png" >"$work/out" 2>"$work/err"
  status=$?
  if [ "$status" -ne 0 ]; then
    fail "--image round trip" "exit $status, stderr: $(cat "$work/err")"
  else
    info=$(identify -format '%m %wx%h' "$work/red-out.png" 2>&1)
    colour=$(convert "$work/red-out.png" -format '%[fx:int(255*p{0,0}.r)],%[fx:int(255*p{0,0}.g)],%[fx:int(255*p{0,0}.b)] %[fx:int(255*p{2,1}.r)],%[fx:int(255*p{2,1}.g)],%[fx:int(255*p{2,1}.b)]' info: 2>&1)
    if [ "$info" = "PNG 3x2" ]; then pass; else fail "--image writes a PNG of the same size" "identify: $info"; fi
    if [ "$colour" = "255,0,0 255,0,0" ]; then pass; else fail "--image keeps the pixels" "corner pixels: $colour"; fi
  fi
  # Text steps do nothing to an image, and an image is never printed as text.
  "$program" apply --image --set cb_textadd=1 --set 'act_textadd_vorne=[' --output "$work/red-text.png" \
    "$work/red.png" >"$work/out" 2>"$work/err"
  status=$?
  info=$(identify -format '%m %wx%h' "$work/red-text.png" 2>&1)
  if [ "$status" -eq 0 ] && [ "$info" = "PNG 3x2" ]; then pass; else
    fail "text steps leave an image alone" "exit $status, identify: $info, stderr: $(cat "$work/err")"
  fi
  printf 'no picture' >"$work/not-an-image.png"
  expect_status "--image with a file that is no image" 1 '' --image --output "$work/never.png" "$work/not-an-image.png"
  if [ -e "$work/never.png" ]; then fail "no output file for a failed image read"; else pass; fi
else
  fail "ImageMagick (convert, identify) is needed for the image cases"
fi

# --- An installed program (bin/ beside share/tallowin/docs/) --------------------------
# Its folder is shared by every user: like the window and `run`, apply takes the
# user's own folder as its program folder, also when it could write beside itself.
installed="$work/installed"
mkdir -p "$installed/bin" "$installed/share/tallowin/docs" "$work/xdg"
touch "$installed/share/tallowin/docs/index.html"
ln "$program" "$installed/bin/tallowin" 2>/dev/null || cp "$program" "$installed/bin/tallowin"
out=$(printf 'kept' | env -u TALLOWIN_HOME XDG_DATA_HOME="$work/xdg" "$installed/bin/tallowin" apply --set cb_savetxt=1 2>&1)
if [ "$out" = kept ] && [ -f "$work/xdg/tallowin/Clipboard Text 1.txt" ] && [ ! -e "$installed/bin/Clipboard Text 1.txt" ]; then
  pass
else
  fail "an installed apply saves into the user's folder, not beside the program" "$out" "$(ls "$installed/bin" "$work/xdg" 2>&1)"
fi

# --- Usage errors (exit 2) and raised errors (exit 1) -----------------------------
expect_status "unknown option" 2 'x' --no-such-option
expect_status "--set without a value" 2 'x' --set
expect_status "--set without =" 2 'x' --set cb_textadd
expect_status "unknown setting" 2 'x' --set no_such_setting=1
expect_status "a flag takes a whole number" 2 'x' --set cb_textadd=yes
expect_status "--row needs three values" 2 'x' --row a b
expect_status "--output without a file" 2 'x' --output
expect_status "two INPUT files" 2 'x' "$work/input.txt" "$work/input.txt"
expect_status "--config without a file" 2 'x' --config
expect_status "--write-config without a file" 2 'x' --write-config
expect_status "INPUT that does not exist" 1 '' "$work/does-not-exist.txt"

# --- --help and --version -----------------------------------------------------------
if out=$("$program" --help 2>&1) && grep -q 'tallowin apply' <<<"$out"; then pass; else
  fail "--help prints the usage with the apply command" "$out"
fi
if out=$("$program" --version 2>&1) && grep -Eq '^tallowin [0-9]+\.[0-9]+' <<<"$out"; then pass; else
  fail "--version prints the name and version" "$out"
fi

printf '%d passed, %d failed\n' "$passed" "$failed"
[ "$failed" -eq 0 ]
