#!/usr/bin/env bash
# `tallowin apply --image` with the image save step: every item of the file
# format list writes "Clipboard Image 1.<ext>" of the right format, and the
# files are read back by independent decoders (image_format_checks.py).
# Also the extension rule, the quality option, the before/after runs and an
# unusable quality text. Usage: test_image_output.sh PATH-TO-TALLOWIN
set -uo pipefail

here=$(dirname "$(realpath "$0")")
source "$(dirname "$(realpath "$0")")/cli_test_setup.sh"

# A photo-like RGBA picture: smooth colour fields, fine detail, noise, and
# alpha from fully transparent to opaque.
/usr/bin/python3 - "$work/in.png" <<'PY'
import math, random, sys
from PIL import Image
w, h = 97, 61
random.seed(7)
im = Image.new("RGBA", (w, h))
px = []
for y in range(h):
    for x in range(w):
        r = 128 + 100 * math.sin(x / 9.0) + random.randint(-12, 12)
        g = 120 + 90 * math.cos((x + y) / 13.0) + random.randint(-12, 12)
        b = 60 + 2 * y + random.randint(-12, 12)
        a = 255 if x < w // 2 else max(0, min(255, (x - w // 2) * 9 + y))
        px.append(tuple(max(0, min(255, int(v))) for v in (r, g, b)) + (a,))
im.putdata(px)
im.save(sys.argv[1])
PY

# save DIR FORMAT-TEXT [SETTINGS...]: one capture with saving after resizing on.
save() {
  local dir=$1 format=$2
  shift 2
  local args=(--set cb_saveimg=1 --set "saveimg_ordner=$dir" --set "saveimg_format=$format")
  for s in "$@"; do args+=(--set "$s"); done
  "$program" apply --image "$work/in.png" "${args[@]}" >/dev/null 2>"$work/err"
}

# magic FILE: the file's format as its first bytes tell it.
magic() {
  /usr/bin/python3 - "$1" <<'PY'
import sys
d = open(sys.argv[1], "rb").read(16)
table = [(b"BM", "bmp"), (b"\xff\xd8\xff", "jpeg"), (b"GIF89a", "gif"), (b"\x89PNG", "png"), (b"\x8aMNG", "mng"),
         (b"\x8bJNG", "jng"), (b"II*\0", "tiff"), (b"MM\0*", "tiff"), (b"8BPS", "psd"), (b"P5", "pgm"), (b"P6", "ppm"),
         (b"P7", "pam"), (b"PF", "pfm"), (b"\0\0\0\x0cjP  ", "jp2"), (b"DDS ", "dds")]
print(next((name for m, name in table if d.startswith(m)), "tga" if d[2:3] == b"\x02" else "unknown"))
PY
}

# Every item of the list (German texts; the English ones differ only after " - ").
items=(
  "*.bmp - Windows Bitmap|bmp|bmp" "*.dib - Windows Bitmap|dib|bmp" "*.jpg - JPEG-Bild|jpg|jpeg"
  "*.jpeg - JPEG-Bild|jpeg|jpeg" "*.jfif - JPEG-Bild|jfif|jpeg" "*.jpe - JPEG-Bild|jpe|jpeg" "*.jif - JPEG-Bild|jif|jpeg"
  "*.gif - Graphics Interchange Format|gif|gif" "*.png - Portable Network Graphics|png|png"
  "*.mng - Multiple Network Graphics|mng|mng" "*.jng - JPEG Network Graphics|jng|jng"
  "*.tif - Tagged Image File Format|tif|tiff" "*.tiff - Tagged Image File Format|tiff|tiff"
  "*.psd - Photoshop Bild|psd|psd" "*.pdd - Photoshop Bild|pdd|psd" "*.pgm - Portable Gray Map|pgm|pgm"
  "*.ppm - Portable Pixel Map|ppm|ppm" "*.pam - Portable Arbitrary Map|pam|pam" "*.pfm - Portable Float Map|pfm|pfm"
  "*.jp2 - JPEG 2000|jp2|jp2" "*.j2k - JPEG 2000|j2k|jp2" "*.j2c - JPEG 2000|j2c|jp2" "*.jpx - JPEG 2000|jpx|jp2"
  "*.jpc - JPEG 2000|jpc|jp2" "*.dds - DirectDraw Surface|dds|dds" "*.tga - Truevision Targa Bild|tga|tga"
)
for entry in "${items[@]}"; do
  IFS='|' read -r item ext kind <<<"$entry"
  # progressivaktiv is on from the start; the checks want baseline files here.
  save "$work/all" "$item" progressivaktiv=0 || fail "$item: exit status ($(cat "$work/err"))"
  file="$work/all/Clipboard Image 1.$ext"
  if [ ! -f "$file" ]; then
    fail "$item: no \"Clipboard Image 1.$ext\" ($(ls "$work/all" | tr '\n' ' '))"
    continue
  fi
  got=$(magic "$file")
  [ "$got" = "$kind" ] || fail "$item: wrote $got, expected $kind"
done

for mode in progressive:1 baseline:0; do
  for format in "*.jpg - JPEG-Bild" "*.jng - JPEG Network Graphics"; do
    save "$work/all/${mode%:*}" "$format" "progressivaktiv=${mode#*:}" || fail "${mode%:*} $format: $(cat "$work/err")"
  done
done

/usr/bin/python3 "$here/image_format_checks.py" "$work/in.png" "$work/all" || fail "decoder checks"

# The extension comes from the part before " - "; anything else is a bitmap.
while IFS='|' read -r format name kind; do
  rm -rf "$work/ext"
  save "$work/ext" "$format" saveimg_name=x || fail "format \"$format\": $(cat "$work/err")"
  if [ ! -f "$work/ext/$name" ]; then
    fail "format \"$format\": expected $name, got $(ls "$work/ext" | tr '\n' ' ')"
  else
    got=$(magic "$work/ext/$name")
    [ "$got" = "$kind" ] || fail "format \"$format\": wrote $got, expected $kind"
  fi
done <<'CASES'
png|x.bmp|bmp
*.png|x.bmp|bmp
png - Portable Network Graphics|x.bmp|bmp
.png - my own label|x.png|png
*.PNG - upper case|x.PNG|png
*.jpeg - JPEG-Image|x.jpeg|jpeg
*.j2k - JPEG 2000|x.j2k|jp2
CASES

# A name no writer takes, and .ico/.cur, write nothing and raise nothing.
for format in ".ico - icon" ".CUR - cursor" ".xyz - unknown"; do
  rm -rf "$work/none"
  save "$work/none" "$format" saveimg_name=x || fail "format \"$format\": exit status ($(cat "$work/err"))"
  [ -z "$(ls -A "$work/none" 2>/dev/null)" ] || fail "format \"$format\": wrote $(ls "$work/none")"
done

# Quality: 1000 is written at 90, 100 and 1 are used as given. The slider
# stands at 100 first, so the typed 1000 stays in the box (from 90 the slider
# would move and write "100" back).
for q in 90 1000 100 1; do
  save "$work/q$q" "*.jpg - JPEG-Bild" progressivaktiv=0 ScrollBar1=100 "out_quality=$q" ||
    fail "quality $q: $(cat "$work/err")"
done
cmp -s "$work/q90/Clipboard Image 1.jpg" "$work/q1000/Clipboard Image 1.jpg" || fail "quality 1000 did not write at 90"
for q in 100 1; do
  cmp -s "$work/q90/Clipboard Image 1.jpg" "$work/q$q/Clipboard Image 1.jpg" && fail "quality $q written as 90"
done
size100=$(stat -c %s "$work/q100/Clipboard Image 1.jpg")
size1=$(stat -c %s "$work/q1/Clipboard Image 1.jpg")
[ "$size100" -gt "$size1" ] || fail "quality 100 ($size100 bytes) not larger than quality 1 ($size1 bytes)"

# An emptied quality box stops the run before any file: the message, exit status 1.
save "$work/empty" "*.png - Portable Network Graphics" out_quality= save_img_vorher=1
status=$?
[ "$status" -eq 1 ] || fail "empty quality: exit status $status"
grep -qF "'' is not a valid integer value" "$work/err" || fail "empty quality: message $(cat "$work/err")"
[ -z "$(ls -A "$work/empty" 2>/dev/null)" ] || fail "empty quality: wrote $(ls "$work/empty")"
save "$work/text" "*.png - Portable Network Graphics" out_quality=abc
grep -qF "'abc' is not a valid integer value" "$work/err" || fail "quality abc: message $(cat "$work/err")"

# Before and after resizing: with %num% two numbered files, the second resized;
# without it the second write replaces the first.
save "$work/both" "*.png - Portable Network Graphics" save_img_vorher=1 cb_resizeimg=1 \
  act_sizebenutzer_x=40 act_sizebenutzer_y=40 || fail "both: $(cat "$work/err")"
sizes=$(/usr/bin/python3 -c '
import sys; from PIL import Image
print(" ".join("%dx%d" % Image.open(f).size for f in sys.argv[1:]))' \
  "$work/both/Clipboard Image 1.png" "$work/both/Clipboard Image 2.png" 2>&1)
[ "$sizes" = "97x61 40x25" ] || fail "before and after: sizes $sizes"
save "$work/same" "*.png - Portable Network Graphics" save_img_vorher=1 saveimg_name=fixed cb_resizeimg=1 \
  act_sizebenutzer_x=40 act_sizebenutzer_y=40 || fail "same name: $(cat "$work/err")"
[ "$(ls "$work/same")" = "fixed.png" ] || fail "same name: files $(ls "$work/same" | tr '\n' ' ')"
size=$(/usr/bin/python3 -c 'import sys; from PIL import Image; print("%dx%d" % Image.open(sys.argv[1]).size)' \
  "$work/same/fixed.png")
[ "$size" = "40x25" ] || fail "same name: the last write should hold the resized picture, got $size"

finish
