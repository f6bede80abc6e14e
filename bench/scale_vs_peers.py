#!/usr/bin/python3
"""ScaleRaster next to Pillow, ImageMagick and libvips, measured in one run.

A 3840x2160 opaque RGBA picture (gradients and noise) is resized to 1920x1080,
640x360 and 7680x4320 with nearest, bilinear and bicubic (Catmull-Rom) filters:
- ScaleRaster and libvips' vips_resize run inside the scale_peers program;
- Pillow's Image.resize runs in this process (Pillow filters RGBA in premultiplied
  form; the picture is opaque, so that changes nothing);
- ImageMagick's convert runs as a process reading and writing raw RGBA; the time
  of the same command without -resize is taken off.
Every measurement warms up once and takes the median of RUNS runs (at least 5).
ScaleRaster resizes in place, so it gets a fresh copy of the picture before
each run; Pillow and libvips get one as well (untimed), so that no engine
reads a picture left in the cache by its previous run.
The results are compared with ours (mean absolute difference per channel and
the share of channel values more than 2 apart); bilinear and bicubic must agree
with Pillow and ImageMagick within a mean difference of 1, or the script fails.
A peer result that differs more (libvips places enlarged samples differently)
is marked "*" in the table: its time is not for the same result. Nearest is
not compared: each program maps target to source pixels its own way. Printed
ratios are peer time / our time, so a ratio above 1 means ScaleRaster is faster.

With --alpha the picture has transparency instead: an ellipse, opaque inside,
whose alpha falls to 0 over some 8 pixels, on a clear black ground. ScaleRaster,
Pillow and ImageMagick weight colours by alpha; the results are compared as
premultiplied colours (what is seen), since the colour under a wholly
transparent pixel is kept by ScaleRaster and set to black by Pillow.

Peers from Debian: apt-get install python3-pil libvips-dev imagemagick
Build: cmake --build build --target scale_peers
Usage: bench/scale_vs_peers.py BUILD-FOLDER [RUNS] [--alpha]
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time

from PIL import Image, ImageChops

WIDTH, HEIGHT = 3840, 2160
SIZES = [(1920, 1080), (640, 360), (7680, 4320)]
FILTERS = ["nearest", "bilinear", "bicubic"]
PILLOW = {"nearest": Image.NEAREST, "bilinear": Image.BILINEAR, "bicubic": Image.BICUBIC}
MAGICK = {"nearest": "Point", "bilinear": "Triangle", "bicubic": "Catrom"}


def test_picture(alpha):
    r = Image.linear_gradient("L").resize((WIDTH, HEIGHT))
    g = Image.radial_gradient("L").resize((WIDTH, HEIGHT))
    b = Image.effect_noise((WIDTH, HEIGHT), 40)
    a = Image.new("L", (WIDTH, HEIGHT), 255)
    if alpha:
        # radial_gradient is 0 in the middle and 255 at a radius of 128 of its 256
        # pixels: the ellipse reaches 80% of the picture, its edge 8 pixels wide.
        # Clear pixels are black, as pictures with transparency mostly have them.
        distance = Image.radial_gradient("L").resize((WIDTH * 100 // 80, HEIGHT * 100 // 80))
        left, top = (distance.width - WIDTH) // 2, (distance.height - HEIGHT) // 2
        distance = distance.crop((left, top, left + WIDTH, top + HEIGHT))
        band = 255 * 8 / (HEIGHT * 0.4)  # 8 pixels of height in gradient steps
        a = distance.point(lambda d: max(0, min(255, round((255 - d) * 255 / band))))
        black = Image.new("L", (WIDTH, HEIGHT), 0)
        r, g, b = (Image.composite(c, black, a.point(lambda v: 255 if v else 0)) for c in (r, g, b))
    return Image.merge("RGBA", (r, g, b, a))


def timed(runs, run, prepare=lambda: None):
    """Median, min and max seconds of run(); prepare() runs untimed before each run."""
    prepare()
    run()
    seconds = []
    for _ in range(runs):
        prepare()
        start = time.perf_counter()
        run()
        seconds.append(time.perf_counter() - start)
    return statistics.median(seconds), min(seconds), max(seconds)


def compare(ours, theirs):
    """Mean absolute difference per channel value and share of values more than 2 apart,
    between premultiplied colours (for an opaque picture the plain ones)."""
    diff = ImageChops.difference(ours.convert("RGBa"), theirs.convert("RGBa"))
    histogram = diff.histogram()  # 256 entries per band
    total = sum(histogram)
    mean = sum((i % 256) * n for i, n in enumerate(histogram)) / total
    far = sum(n for i, n in enumerate(histogram) if i % 256 > 2) / total
    return mean, far


def main():
    args = [a for a in sys.argv[1:] if a != "--alpha"]
    alpha = len(args) < len(sys.argv) - 1
    if not args:
        print(__doc__)
        sys.exit(2)
    driver = os.path.join(args[0], "scale_peers")
    runs = max(5, int(args[1]) if len(args) > 1 else 5)
    work = tempfile.mkdtemp(prefix="scale-peers-")
    source = test_picture(alpha)
    print(f"picture: {WIDTH}x{HEIGHT}, {'with transparency' if alpha else 'opaque'}")
    raw = os.path.join(work, "in.rgba")
    with open(raw, "wb") as f:
        f.write(source.tobytes())

    times = {}  # (engine, filter, size) -> (median, min, max)
    sizes = [f"{w}x{h}" for w, h in SIZES]
    out = subprocess.run([driver, raw, str(WIDTH), str(HEIGHT), work, str(runs)] + sizes,
                         check=True, stdout=subprocess.PIPE, text=True).stdout
    for line in out.split("\n"):
        if line:
            engine, name, size, median, low, high = line.split()
            times[(engine, name, size)] = (float(median), float(low), float(high))

    disagreements = []
    different = set()  # (peer, filter, size) whose result is not ours
    for (w, h), size in zip(SIZES, sizes):
        for name in FILTERS:
            ours = Image.frombytes("RGBA", (w, h), open(os.path.join(work, f"tallowin-{name}-{size}.rgba"), "rb").read())
            # Each engine works on a fresh copy of the picture, as ScaleRaster
            # (which resizes in place) must: resizing the same picture again
            # would find the rows it reads still in the processor's cache.
            result = {}
            times[("pillow", name, size)] = timed(
                runs, lambda: result.update(im=result["copy"].resize((w, h), PILLOW[name])),
                prepare=lambda: result.update(copy=source.copy()))
            pillow = result["im"]

            magick_out = os.path.join(work, "magick.rgba")
            base = ["convert", "-size", f"{WIDTH}x{HEIGHT}", "-depth", "8", f"rgba:{raw}"]
            io_only = timed(runs, lambda: subprocess.run(base + [f"rgba:{magick_out}"], check=True))
            full = timed(runs, lambda: subprocess.run(
                base + ["-filter", MAGICK[name], "-resize", f"{w}x{h}!", f"rgba:{magick_out}"], check=True))
            times[("imagemagick", name, size)] = tuple(max(1e-6, t - io_only[0]) for t in full)
            magick = Image.frombytes("RGBA", (w, h), open(magick_out, "rb").read())
            vips = Image.frombytes("RGBA", (w, h), open(os.path.join(work, f"vips-{name}-{size}.rgba"), "rb").read())

            for peer, picture in (("pillow", pillow), ("imagemagick", magick), ("vips", vips)):
                mean, far = compare(ours, picture)
                print(f"result {name:8} {size:9} vs {peer:11}: mean |diff| {mean:6.3f}, "
                      f"{100 * far:5.2f}% of values more than 2 apart", flush=True)
                if name != "nearest" and mean > 1.0:
                    different.add((peer, name, size))
                    if peer != "vips":
                        disagreements.append(f"{name} {size} vs {peer}: mean difference {mean:.3f}")

    print()
    print(f"{'filter':8} {'size':9} {'engine':11} {'median s':>9} {'min s':>9} {'max s':>9} {'peer/ours':>9}")
    ratios = {}
    for name in FILTERS:
        for size in sizes:
            ours = times[("tallowin", name, size)][0]
            for engine in ("tallowin", "pillow", "imagemagick", "vips"):
                median, low, high = times[(engine, name, size)]
                ratio = median / ours
                if engine != "tallowin" and (engine, name, size) not in different:
                    ratios.setdefault(engine, []).append(ratio)
                mark = "*" if (engine, name, size) in different else ""
                print(f"{name:8} {size:9} {engine:11} {median:9.4f} {low:9.4f} {high:9.4f} {ratio:9.2f}{mark}")
    print()
    for engine, values in ratios.items():
        print(f"ratio {engine}/tallowin over the cases with the same result: min {min(values):.2f}  "
              f"median {statistics.median(values):.2f}  max {max(values):.2f}")
    if disagreements:
        print("PEERS DISAGREE:\n  " + "\n  ".join(disagreements))
        sys.exit(1)


if __name__ == "__main__":
    main()
