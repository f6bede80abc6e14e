"""Reads back the image files written by `tallowin apply` with decoders that
share no code with the program (Pillow, ImageMagick, pngcheck, tiffinfo,
opj_dump) and compares them with the source picture.

Usage: image_format_checks.py SOURCE.png FOLDER
FOLDER holds "Clipboard Image 1.<ext>" for the extensions checked below, plus
"progressive/" and "baseline/" with a .jpg and a .jng each. Prints one line per
failure and exits 1 when any check failed.

Bounds: lossless formats must give back every byte (alpha included where the
format stores it). JPEG and JNG colour must reach a PSNR of 30 dB against the
source at quality 90; JPEG 2000 at quality 80 must reach 35 dB; GIF at most
256 colours and 25 dB on the opaque pixels (palette plus dithering).
"""
import math
import os
import shutil
import struct
import subprocess
import sys

from PIL import Image

source_path, folder = sys.argv[1], sys.argv[2]
source = Image.open(source_path).convert("RGBA")
width, height = source.size
failures = []


def fail(message):
    failures.append(message)
    print("FAIL", message)


def path(ext, sub=""):
    return os.path.join(folder, sub, "Clipboard Image 1." + ext)


def magick_rgba(file, channels="rgba"):
    out = subprocess.run(["convert", file, "-depth", "8", channels + ":-"], capture_output=True, check=True).stdout
    return Image.frombytes(channels.upper(), (width, height), out)


def psnr(a, b):
    a, b = a.tobytes(), b.tobytes()
    mse = sum((x - y) ** 2 for x, y in zip(a, b)) / len(a)
    return float("inf") if mse == 0 else 10 * math.log10(255 * 255 / mse)


def expect_same(name, got, want):
    if got.size != want.size or got.mode != want.mode:
        fail(f"{name}: got {got.mode} {got.size}, expected {want.mode} {want.size}")
    elif got.tobytes() != want.tobytes():
        fail(f"{name}: pixels differ (PSNR {psnr(got, want):.1f} dB)")


def expect_psnr(name, got, want, least):
    value = psnr(got.convert(want.mode), want)
    if value < least:
        fail(f"{name}: PSNR {value:.1f} dB below {least} dB")


def pngcheck(file):
    result = subprocess.run(["pngcheck", "-v", file], capture_output=True, text=True)
    if result.returncode != 0:
        fail(f"pngcheck {os.path.basename(file)}: {result.stdout.strip().splitlines()[-1:]}")
    return result.stdout


def grey(pixel):
    r, g, b, _ = pixel
    return (299 * r + 587 * g + 114 * b + 500) // 1000


rgb = source.convert("RGB")

# Lossless formats Pillow reads with alpha.
for ext in ["png", "tif", "tiff", "tga", "dds", "psd", "pdd"]:
    expect_same(ext, Image.open(path(ext)).convert("RGBA"), source)
# Formats without alpha: the colour must be exact.
for ext in ["ppm"]:
    expect_same(ext, Image.open(path(ext)), rgb)
# BMP: Pillow decodes 32-bit BI_RGB as colour only; ImageMagick keeps the alpha.
for ext in ["bmp", "dib"]:
    expect_same(ext, Image.open(path(ext)).convert("RGB"), rgb)
    expect_same(ext + " (ImageMagick)", magick_rgba(path(ext)), source)
    header = open(path(ext), "rb").read(54)
    size, bpp, compression, ppm_x, ppm_y = (struct.unpack("<I", header[14:18])[0], struct.unpack("<H", header[28:30])[0],
                                           struct.unpack("<I", header[30:34])[0], *struct.unpack("<II", header[38:46]))
    if (size, bpp, compression, ppm_x, ppm_y) != (40, 32, 0, 2835, 2835):
        fail(f"{ext}: header {size, bpp, compression, ppm_x, ppm_y}")
expect_same("pam", magick_rgba(path("pam")), source)
if b"TUPLTYPE RGB_ALPHA" not in open(path("pam"), "rb").read(100):
    fail("pam: no RGB_ALPHA tuple type")
expect_same("pfm", magick_rgba(path("pfm"), "rgb"), rgb)
if open(path("pfm"), "rb").read(3) != b"PF\n":
    fail("pfm: not a colour float map")
want_grey = Image.new("L", source.size)
want_grey.putdata([grey(p) for p in source.getdata()])
pgm = Image.open(path("pgm"))
expect_same("pgm", pgm, want_grey)
if open(path("pgm"), "rb").read(2) != b"P5":
    fail("pgm: not the binary form")

# PSD: the one layer holds the same picture.
psd = Image.open(path("psd"))
if len(getattr(psd, "layers", [])) != 1:
    fail(f"psd: {len(getattr(psd, 'layers', []))} layers, expected 1")
else:
    psd.seek(1)
    expect_same("psd layer", psd.convert("RGBA"), source)

# PNG family: valid chunks, deflate level 5 (zlib header level field 1 "fast"), MNG lossless.
for ext in ["png", "mng", "jng"]:
    pngcheck(path(ext))
if "fast compression" not in pngcheck(path("png")):
    fail("png: zlib header does not show level 5")
if "8-bit/color RGBA" not in subprocess.run(["file", path("png")], capture_output=True, text=True).stdout:
    fail("png: not 8-bit RGBA")
expect_same("mng", magick_rgba(path("mng")), source)
jng = magick_rgba(path("jng"))
expect_psnr("jng colour", jng.convert("RGB"), rgb, 30)
expect_same("jng alpha", jng.getchannel("A"), source.getchannel("A"))

# JPEG family: no alpha, colour within bounds, progressive flag as set.
for ext in ["jpg", "jpeg", "jfif", "jpe", "jif"]:
    im = Image.open(path(ext))
    if im.format != "JPEG" or im.mode != "RGB":
        fail(f"{ext}: {im.format} {im.mode}")
    expect_psnr(ext, im, rgb, 30)


def jpeg_is_progressive(data):
    return b"\xff\xc2" in data[: data.find(b"\xff\xda")]


for mode in ["progressive", "baseline"]:
    want = mode == "progressive"
    jpg = open(path("jpg", mode), "rb").read()
    if jpeg_is_progressive(jpg) != want or bool(Image.open(path("jpg", mode)).info.get("progressive")) != want:
        fail(f"jpg {mode}: progressive flag wrong")
    jng_file = open(path("jng", mode), "rb").read()
    interlace = jng_file[8 + 8 + 11]
    jdat = jng_file[jng_file.find(b"JDAT") + 4:]
    if (interlace == 8) != want or jpeg_is_progressive(jdat) != want:
        fail(f"jng {mode}: progressive flag wrong (JHDR interlace {interlace})")

# GIF: at most 256 colours, close to the source where it is opaque.
gif = Image.open(path("gif"))
colours = gif.convert("RGBA").getcolors(1 << 24)
if gif.mode != "P" or colours is None or len(colours) > 256:
    fail(f"gif: mode {gif.mode}, {len(colours) if colours else 'many'} colours")
opaque = [i for i, a in enumerate(source.getchannel("A").getdata()) if a >= 128]
g, s = list(gif.convert("RGB").getdata()), list(rgb.getdata())
expect_psnr("gif", Image.frombytes("RGB", (len(opaque), 1), bytes(v for i in opaque for v in g[i])),
            Image.frombytes("RGB", (len(opaque), 1), bytes(v for i in opaque for v in s[i])), 25)
gif_alpha = list(gif.convert("RGBA").getchannel("A").getdata())
if any((a >= 128) != (b == 255) for a, b in zip(source.getchannel("A").getdata(), gif_alpha)):
    fail("gif: transparency does not follow alpha 128")

# TIFF: LZW, unassociated alpha, 4 x 8 bits.
info = subprocess.run(["tiffinfo", path("tif")], capture_output=True, text=True).stdout
for needed in ["Compression Scheme: LZW", "Extra Samples: 1<unassoc-alpha>", "Bits/Sample: 8", "Samples/Pixel: 4"]:
    if needed not in info:
        fail(f"tif: tiffinfo lacks {needed!r}")

# JPEG 2000: a JP2 file for every extension, decodable, lossy but close.
for ext in ["jp2", "j2k", "j2c", "jpx", "jpc"]:
    data = open(path(ext), "rb").read(12)
    if data != b"\0\0\0\x0cjP  \r\n\x87\n":
        fail(f"{ext}: no JP2 signature box")
    # opj_dump picks its reader by the extension: under a .jp2 name it must read
    # the file as JP2 with the four components.
    as_jp2 = os.path.join(folder, "as-jp2-" + ext + ".jp2")
    shutil.copyfile(path(ext), as_jp2)
    dump = subprocess.run(["opj_dump", "-i", as_jp2], capture_output=True, text=True)
    if dump.returncode != 0 or "numcomps=4" not in dump.stdout or "Main header has been correctly decoded" not in dump.stdout + dump.stderr:
        fail(f"{ext}: opj_dump does not read it as JP2 ({dump.stdout[-200:]}{dump.stderr[-200:]})")
    im = Image.open(path(ext))
    expect_psnr(ext, im.convert("RGBA"), source, 35)

sys.exit(1 if failures else 0)
