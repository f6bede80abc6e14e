#!/usr/bin/python3
"""The image writers next to Pillow, encoding the same 3840x2160 capture in one run.

The picture is screen-like: flat panels, lines and text over most of it, a
photo-like region (gradients with noise) in one corner, opaque as captures are.
For each format our writer (the image_writer_peer program, encoding into
memory) and Pillow (encoding into memory in this process) run alternately, so
both see the same machine load: one warm-up each, then RUNS pairs (at least
5). Settings are the same on both sides:
  png              level 5, adaptive filtering (Pillow: compress_level=5); ours
                   may use both cores
  jpg              quality 90, 4:2:0, baseline (Pillow: quality=90; it needs
                   the RGBA picture converted to RGB first, which is timed, as
                   our writer converts too)
  jpg-progressive  the same, progressive (Pillow: progressive=True)
  tif              RGBA, LZW (Pillow: compression="tiff_lzw")
  gif              256 colours (Pillow's own GIF save, which quantises by itself
                   without dithering; ours takes a libimagequant palette from a
                   sample and dithers, so its file is larger and its PSNR higher)
  jp2              JP2 file, one layer at ratio 4:1, 9/7 wavelet (Pillow:
                   quality_mode="rates", quality_layers=[4], irreversible=True)
Both files are decoded by Pillow: lossless formats must give back the source
exactly (else the script fails); for the lossy ones the PSNR of each is printed.
Ratios are Pillow / ours, so a time ratio above 1 means ours is faster and a
size ratio above 1 means our file is smaller; min / median / max over the pairs.

Peers from Debian: apt-get install python3-pil
Build: cmake --build build --target image_writer_peer
Usage: bench/image_writers_vs_pillow.py BUILD-FOLDER [RUNS [FORMAT...]]
(all formats when none is named)
"""
import io
import math
import os
import random
import statistics
import subprocess
import sys
import tempfile
import time

from PIL import Image, ImageChops, ImageDraw

WIDTH, HEIGHT = 3840, 2160
FORMATS = ["png", "jpg", "jpg-progressive", "tif", "gif", "jp2"]
LOSSLESS = {"png", "tif"}


def test_picture():
    random.seed(11)
    im = Image.new("RGB", (WIDTH, HEIGHT), (240, 240, 240))
    d = ImageDraw.Draw(im)
    # Window frames, bars and text lines.
    for i in range(14):
        x, y = random.randrange(0, WIDTH - 900), random.randrange(0, HEIGHT - 600)
        w, h = random.randrange(500, 1400), random.randrange(300, 900)
        d.rectangle((x, y, x + w, y + h), fill=(255, 255, 255), outline=(120, 120, 130), width=2)
        d.rectangle((x, y, x + w, y + 28), fill=(random.randrange(40, 90), random.randrange(80, 140), 200))
        for line in range(y + 40, y + h - 14, 16):
            words = "".join(random.choice("abcdefghijklmnopqrstuvwxyz ") for _ in range(w // 7))
            d.text((x + 8, line), words, fill=(20, 20, 20))
    # A photo-like corner.
    photo = Image.merge("RGB", (Image.linear_gradient("L").resize((1600, 1000)),
                                Image.radial_gradient("L").resize((1600, 1000)),
                                Image.effect_noise((1600, 1000), 30)))
    im.paste(photo, (WIDTH - 1700, HEIGHT - 1100))
    return im.convert("RGBA")


def pillow_encoder(fmt):
    def save(im, **kw):
        def run():
            out = io.BytesIO()
            im.save(out, **kw)
            return out.getvalue()
        return run

    if fmt == "png":
        return lambda im: save(im, format="PNG", compress_level=5)()
    if fmt == "jpg":
        return lambda im: save(im.convert("RGB"), format="JPEG", quality=90)()
    if fmt == "jpg-progressive":
        return lambda im: save(im.convert("RGB"), format="JPEG", quality=90, progressive=True)()
    if fmt == "tif":
        return lambda im: save(im, format="TIFF", compression="tiff_lzw")()
    if fmt == "gif":
        return lambda im: save(im, format="GIF")()
    if fmt == "jp2":
        return lambda im: save(im, format="JPEG2000", quality_mode="rates", quality_layers=[4], irreversible=True)()
    raise ValueError(fmt)


def psnr(a, b):
    diff = ImageChops.difference(a.convert("RGB"), b.convert("RGB"))
    hist = diff.histogram()
    total = sum(hist)
    mse = sum((i % 256) ** 2 * n for i, n in enumerate(hist)) / total
    return float("inf") if mse == 0 else 10 * math.log10(255 * 255 / mse)


def spread(values):
    return "%.2f / %.2f / %.2f" % (min(values), statistics.median(values), max(values))


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        sys.exit(2)
    driver = os.path.join(sys.argv[1], "image_writer_peer")
    runs = max(5, int(sys.argv[2]) if len(sys.argv) > 2 else 5)
    formats = sys.argv[3:] or FORMATS
    unknown = [f for f in formats if f not in FORMATS]
    if unknown:
        print("unknown format: " + ", ".join(unknown))
        sys.exit(2)
    work = tempfile.mkdtemp(prefix="image-writers-")
    source = test_picture()
    raw = os.path.join(work, "in.rgba")
    with open(raw, "wb") as f:
        f.write(source.tobytes())

    failed = False
    print("%-16s %10s %10s  %-22s %10s %10s  %-22s %s" % ("format", "ours s", "Pillow s", "time ratio min/med/max",
                                                        "ours KB", "Pillow KB", "size ratio min/med/max", "check"))
    for fmt in formats:
        encode = pillow_encoder(fmt)
        out = os.path.join(work, "ours." + fmt.split("-")[0])
        encode(source)  # warm-up
        ours_t, theirs_t, ours_size, theirs_size = [], [], [], []
        theirs_bytes = b""
        for _ in range(runs):
            result = subprocess.run([driver, raw, str(WIDTH), str(HEIGHT), fmt, "1", out],
                                    capture_output=True, text=True, check=True)
            ours_t.append(float(result.stdout.split()[0]))
            ours_size.append(os.path.getsize(out))
            start = time.perf_counter()
            theirs_bytes = encode(source)
            theirs_t.append(time.perf_counter() - start)
            theirs_size.append(len(theirs_bytes))
        ours_img = Image.open(out)
        ours_img.load()
        theirs_img = Image.open(io.BytesIO(theirs_bytes))
        theirs_img.load()
        if fmt in LOSSLESS:
            same = (ours_img.convert("RGBA").tobytes() == source.tobytes() and
                    theirs_img.convert("RGBA").tobytes() == source.tobytes())
            check = "both exact" if same else "PIXELS DIFFER"
            failed |= not same
        else:
            if ours_img.size != source.size or theirs_img.size != source.size:
                check = "WRONG SIZE"
                failed = True
            else:
                check = "PSNR ours %.1f dB, Pillow %.1f dB" % (psnr(ours_img, source), psnr(theirs_img, source))
        time_ratio = [t / o for t, o in zip(theirs_t, ours_t)]
        size_ratio = [t / o for t, o in zip(theirs_size, ours_size)]
        print("%-16s %10.3f %10.3f  %-22s %10.0f %10.0f  %-22s %s" % (
            fmt, statistics.median(ours_t), statistics.median(theirs_t), spread(time_ratio),
            statistics.median(ours_size) / 1024, statistics.median(theirs_size) / 1024, spread(size_ratio), check))
        sys.stdout.flush()
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
