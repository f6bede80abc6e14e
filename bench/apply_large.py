#!/usr/bin/python3
"""`tallowin apply` on a large text next to plain copies of the same file.

Generates a text of --megabytes MB (lines of 100 characters, ASCII with a few
Latin-1 and euro signs, the word "needle" in every 50th line) and measures,
each in its own process, wall time and peak resident memory (ru_maxrss):

  cat            the file copied to another file;
  iconv x2       UTF-8 to UTF-16LE and back, two iconv processes in a pipe
                 (the peak is the larger of the two);
  utf16 trip     the file read whole, converted to UTF-16 and back, written
                 (Python's codecs, in memory: the conversion the program makes);
  apply          tallowin apply with one plain, case-sensitive replacement
                 ("needle" -> "pin") and the output to a file.

Every output is checked: the copies must equal the input, apply's output the
input with the replacement made. One warm-up round, then --runs rounds (at
least 5); prints median, minimum and maximum of each figure and of apply's
ratios to the peers, and apply's peak against the UTF-16 size of the text.

Usage: bench/apply_large.py PATH-TO-TALLOWIN [--runs N] [--megabytes N]
"""
import argparse
import hashlib
import os
import statistics
import subprocess
import sys
import tempfile
import time

ROUND_TRIP = """
import sys
data = open(sys.argv[1], 'rb').read()
utf16 = data.decode('utf-8').encode('utf-16-le')
del data
out = utf16.decode('utf-16-le').encode('utf-8')
open(sys.argv[2], 'wb').write(out)
"""


# Writes the input, and prints the digests of the input and of the expected
# output and the UTF-16 size. Runs in a process of its own: a child's peak
# (ru_maxrss) starts from what the forked copy of this process holds, so this
# process never holds the text.
MAKE_INPUT = r"""
import hashlib, sys
megabytes, path = int(sys.argv[1]), sys.argv[2]
body = "abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ 0123456789 \u00e4\u00f6\u00fc \u20ac "
lines, size, number = [], 0, 0
while size < megabytes * 1_000_000:
    head = f"{number:07d} " + ("needle " if number % 50 == 0 else "")
    line = (head + body * 2)[:99]
    lines.append(line)
    size += len(line.encode("utf-8")) + 1
    number += 1
text = "\n".join(lines) + "\n"
data = text.encode("utf-8")
open(path, "wb").write(data)
print(hashlib.sha256(data).hexdigest(), hashlib.sha256(text.replace("needle", "pin").encode("utf-8")).hexdigest(),
      len(text.encode("utf-16-le")))
"""


def measure(command, stdin=None, stdout=None, env=None):
    """(seconds, peak bytes) of one process; raises when it fails."""
    started = time.monotonic()
    child = subprocess.Popen(command, stdin=stdin, stdout=stdout, env=env)
    _, status, usage = os.wait4(child.pid, 0)
    elapsed = time.monotonic() - started
    child.returncode = os.waitstatus_to_exitcode(status)
    if child.returncode != 0:
        raise RuntimeError(f"{command[0]} ended with {child.returncode}")
    return elapsed, usage.ru_maxrss * 1024


def measure_pipe(first, second, source, target):
    """Two processes in a pipe: (seconds, the larger peak)."""
    started = time.monotonic()
    with open(source, "rb") as inp, open(target, "wb") as out:
        a = subprocess.Popen(first, stdin=inp, stdout=subprocess.PIPE)
        b = subprocess.Popen(second, stdin=a.stdout, stdout=out)
        a.stdout.close()
        _, sb, ub = os.wait4(b.pid, 0)
        _, sa, ua = os.wait4(a.pid, 0)
    elapsed = time.monotonic() - started
    if os.waitstatus_to_exitcode(sa) or os.waitstatus_to_exitcode(sb):
        raise RuntimeError(f"{first[0]} | {second[0]} failed")
    return elapsed, max(ua.ru_maxrss, ub.ru_maxrss) * 1024


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("program")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--megabytes", type=int, default=50)
    args = parser.parse_args()
    program = os.path.abspath(args.program)

    scratch = tempfile.mkdtemp(prefix="tallowin-apply-")
    try:
        source = os.path.join(scratch, "input.txt")
        made = subprocess.run([sys.executable, "-c", MAKE_INPUT, str(args.megabytes), source],
                              stdout=subprocess.PIPE, check=True).stdout.split()
        original, expected, utf16_size = made[0].decode(), made[1].decode(), int(made[2])
        home = os.path.join(scratch, "home") + "/"
        os.makedirs(home)
        env = dict(os.environ, TALLOWIN_HOME=home, QT_QPA_PLATFORM="offscreen")
        out = os.path.join(scratch, "out")

        def check(want, name):
            digest = hashlib.sha256()
            with open(out, "rb") as f:
                for block in iter(lambda: f.read(1 << 20), b""):
                    digest.update(block)
            if digest.hexdigest() != want:
                raise RuntimeError(f"{name}: the output differs from the expected one")
            os.remove(out)

        def cat():
            r = measure(["cat", source], stdout=open(out, "wb"))
            check(original, "cat")
            return r

        def iconv():
            r = measure_pipe(["iconv", "-f", "UTF-8", "-t", "UTF-16LE"], ["iconv", "-f", "UTF-16LE", "-t", "UTF-8"],
                             source, out)
            check(original, "iconv")
            return r

        def trip():
            r = measure([sys.executable, "-c", ROUND_TRIP, source, out])
            check(original, "utf16 trip")
            return r

        def apply():
            r = measure([program, "apply", "--set", "cb_suchenersetzen=1", "--set", "act_ers_casesensitive=1",
                         "--set", "act_ers_text_suchen=needle", "--set", "act_ers_text_ersetzen=pin",
                         "--output", out, source], env=env)
            check(expected, "apply")
            return r

        peers = {"cat": cat, "iconv x2": iconv, "utf16 trip": trip, "apply": apply}
        for run in peers.values():
            run()  # warm-up: file cache, program start
        results = {name: [] for name in peers}
        for _ in range(args.runs):
            for name, run in peers.items():
                results[name].append(run())
    finally:
        subprocess.run(["rm", "-rf", scratch])

    def stats(values, fmt):
        return f"{fmt.format(statistics.median(values))} [{fmt.format(min(values))} .. {fmt.format(max(values))}]"

    print(f"apply on {args.megabytes} MB of text (UTF-16: {utf16_size / 1e6:.0f} MB), {args.runs} runs after one "
          f"warm-up (median [min .. max]):")
    print(f"  {'':<11} {'seconds':>26} {'peak MB':>22}")
    for name, rows in results.items():
        print(f"  {name:<11} {stats([r[0] for r in rows], '{:.3f}'):>26} "
              f"{stats([r[1] / 1e6 for r in rows], '{:.0f}'):>22}")
    applied = results["apply"]
    for peer in ("cat", "iconv x2", "utf16 trip"):
        ratios = [a[0] / p[0] for a, p in zip(applied, results[peer])]
        print(f"  apply time / {peer} time: {stats(ratios, '{:.2f}')}")
    print(f"  apply peak / UTF-16 size: {stats([a[1] / utf16_size for a in applied], '{:.2f}')}")


if __name__ == "__main__":
    main()
