#!/usr/bin/env bash
# `tallowin apply --image`: the crop and resize steps on a picture from the
# command line. Usage: test_apply_image.sh PATH-TO-TALLOWIN
set -uo pipefail

source "$(dirname "$(realpath "$0")")/cli_test_setup.sh"

# png WIDTH HEIGHT FILE: an opaque RGBA gradient written with the standard library only.
png() {
  /usr/bin/python3 - "$@" <<'PY'
import struct, sys, zlib
w, h, path = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
rows = b"".join(b"\0" + bytes(v for x in range(w) for v in (x % 256, y % 256, (x + y) % 256, 255)) for y in range(h))
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
with open(path, "wb") as f:
    f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))
PY
}

# size FILE: "WIDTHxHEIGHT" from the PNG header, or "not-a-png".
size() {
  /usr/bin/python3 - "$1" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read(24)
print("%dx%d" % struct.unpack(">II", data[16:24]) if data[:8] == b"\x89PNG\r\n\x1a\n" else "not-a-png")
PY
}

# expect_size NAME INPUT-SIZE EXPECTED-SIZE SETTINGS...
expect_size() {
  local name=$1 input=$2 expected=$3
  shift 3
  rm -f "$work/out.png"
  png "${input%x*}" "${input#*x}" "$work/in.png"
  local args=()
  for s in "$@"; do args+=(--set "$s"); done
  if ! "$program" apply --image "$work/in.png" "${args[@]}" --output "$work/out.png" 2>"$work/err"; then
    fail "$name: exit status $? ($(cat "$work/err"))"
    return
  fi
  local got
  got=$(size "$work/out.png")
  [ "$got" = "$expected" ] || fail "$name: expected $expected, got $got"
}

expect_size resize_to_maximum 1000x333 640x213 \
  cb_resizeimg=1 act_sizebenutzer_x=640 act_sizebenutzer_y=480
expect_size resize_bilinear_enlarges 400x300 640x480 \
  cb_resizeimg=1 act_sizemethode=Bilinear
expect_size zero_maximum_keeps_picture 300x200 300x200 \
  cb_resizeimg=1 act_sizebenutzer_x=0
expect_size fixed_margins 100x50 70x40 \
  cb_cutimg=1 rb_cutimg_direkt=1 act_zuschlinks=10 act_zuschrechts=20 act_zuschoben=5 act_zuschunten=5
expect_size margins_leaving_nothing 1000x10 1000x10 \
  cb_cutimg=1 rb_cutimg_direkt=1 act_zuschlinks=500 act_zuschrechts=500
expect_size margins_leaving_one_column 1000x10 1x10 \
  cb_cutimg=1 rb_cutimg_direkt=1 act_zuschlinks=499 act_zuschrechts=500
expect_size crop_then_resize 1000x400 640x192 \
  cb_cutimg=1 rb_cutimg_direkt=1 act_zuschunten=100 cb_resizeimg=1 act_sizemethode=Nearest

# The cropped pixels are the right ones: a 1-pixel cut of column 7 keeps its colour.
png 20 4 "$work/in.png"
"$program" apply --image "$work/in.png" --set cb_cutimg=1 --set rb_cutimg_direkt=1 \
  --set act_zuschlinks=7 --set act_zuschrechts=12 --output "$work/out.png" 2>"$work/err" || fail "column: $(cat "$work/err")"
first=$(/usr/bin/python3 - "$work/out.png" <<'PY'
import struct, sys, zlib
data = open(sys.argv[1], "rb").read()
pos, idat, ihdr = 8, b"", None
while pos < len(data):
    n = struct.unpack(">I", data[pos:pos + 4])[0]
    kind, body = data[pos + 4:pos + 8], data[pos + 8:pos + 8 + n]
    if kind == b"IHDR": ihdr = body
    if kind == b"IDAT": idat += body
    pos += 12 + n
raw = zlib.decompress(idat)
w, h, depth, colour = struct.unpack(">IIBB", ihdr[:10])
channels = {6: 4, 2: 3}[colour]
# filter type 0 or 1 on a one-pixel-wide row leaves the first pixel as stored
print(w, h, depth, list(raw[1:1 + channels]))
PY
)
case "$first" in
  "1 4 8 [7, 0, 7"*) ;;
  *) fail "column: expected the source column 7, got $first" ;;
esac

# A red disc on a clear ground (a PNG with transparency), resized: the disc's
# half-transparent edge stays red, not the dark red that mixing the ground's
# black into it gives. The ground keeps its colour under alpha 0.
/usr/bin/python3 - "$work/disc.png" <<'PY'
import sys
from PIL import Image, ImageDraw
im = Image.new("RGBA", (40, 30), (0, 0, 0, 0))
ImageDraw.Draw(im).ellipse((6, 5, 33, 24), fill=(255, 0, 0, 255))
im.save(sys.argv[1])
PY
for method in Bilinear Bicubic; do
  for size in 97x71 17x13; do
    "$program" apply --image "$work/disc.png" --set cb_resizeimg=1 --set act_resizeimg_prop=0 \
      --set act_sizebenutzer_x="${size%x*}" --set act_sizebenutzer_y="${size#*x}" --set act_sizemethode=$method \
      --output "$work/out.png" 2>"$work/err" || { fail "disc $method $size: $(cat "$work/err")"; continue; }
    verdict=$(/usr/bin/python3 - "$work/out.png" "$size" <<'PY'
import sys
from PIL import Image
im = Image.open(sys.argv[1])
w, h = map(int, sys.argv[2].split("x"))
if im.mode != "RGBA" or im.size != (w, h):
    sys.exit(print(f"got a {im.mode} picture of {im.size}"))
pixels = [im.getpixel((x, y)) for y in range(h) for x in range(w)]
edge = [p for p in pixels if 0 < p[3] < 255]
wrong = [p for p in pixels if p[3] > 0 and p[:3] != (255, 0, 0)]
# the edge pixel on the middle row, left of the disc: the first one that is not clear
middle = [im.getpixel((x, h // 2)) for x in range(w)]
first = next(p for p in middle if p[3] > 0)
if wrong or len(edge) < min(w, h) or not 0 < first[3] < 255 or first[:3] != (255, 0, 0):
    print(f"{len(edge)} edge pixels, {len(wrong)} not red, e.g. {wrong[:3]}; middle row's edge pixel {first}")
elif im.getpixel((0, 0)) != (0, 0, 0, 0):
    print(f"the clear corner became {im.getpixel((0, 0))}")
else:
    print("ok")
PY
)
    [ "$verdict" = ok ] || fail "disc $method $size: $verdict"
  done
done

finish
