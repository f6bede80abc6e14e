#!/usr/bin/python3
"""A CLIPBOARD owner whose answers the tests script on the command line.

    scripted_clipboard_owner.py [options] TARGET...

Lists TARGETS followed by the given targets in the given order (meta targets
and repeats included, as a careless owner might). Each target is answered with
the bytes "<TARGET>" unless an option says otherwise. Every request received
is printed as "request NAME" before it is answered, so a test can check what
a reader asked for. Prints "ready" once it owns the selection.

Like simple real owners, it serves one INCR transfer at a time: requests that
arrive meanwhile wait until the open transfer has ended.

Options:
  --refuse T            refuse conversions to T (TARGETS included)
  --ignore T            never answer requests for T (and keep answering others)
  --size T:N            answer T with N bytes in one property
  --incr T:N            answer T with N bytes through INCR, 64 KiB per piece
  --die-mid-incr        exit right after the first INCR piece
  --trickle T:N:S       answer T with N bytes through INCR, one byte per piece and
                        each piece S seconds after the reader asked for it, so
                        every piece comes in time and the whole takes N*S seconds
  --junk-targets N      list N atoms nobody has named after the given targets
                        (through INCR, 50000 atoms per piece, when they do
                        not fit into one property)
  --late-first S:KIND   answer the first TARGETS request only after S seconds,
                        KIND "answer" (adding the target text/x-stale-answer)
                        or "refuse"
"""
import argparse
import array
import os
import select
import sys
import time

from Xlib import X, Xatom, display
from Xlib.protocol import event

PIECE = 64 * 1024
# Atom ids far above any a test server hands out.
FIRST_JUNK_ATOM = 0x1000_0000
# Atoms per INCR piece of a junk list: well within one request.
JUNK_PIECE = 50000


def pattern(n):
    return bytes(i % 251 for i in range(n))


class Owner:
    def __init__(self, args):
        self.args = args
        self.d = display.Display()
        self.window = self.d.screen().root.create_window(0, 0, 1, 1, 0, X.CopyFromParent)
        self.clipboard = self.d.intern_atom("CLIPBOARD")
        self.targets_atom = self.d.intern_atom("TARGETS")
        self.incr_atom = self.d.intern_atom("INCR")
        self.utf8 = self.d.intern_atom("UTF8_STRING")
        self.offered = [self.d.intern_atom(t) for t in args.targets]
        self.sizes = dict(parse_size(s) for s in args.size)
        self.incr = dict(parse_size(s) for s in args.incr)
        self.trickle = dict(parse_trickle(s) for s in args.trickle)
        self.transfers = {}  # (requestor id, property) -> [window, type, format, remaining data, piece size, delay]
        self.timed = []  # (due time, event) of pieces sent later
        self.deferred = []  # requests that came in during a transfer
        self.first_targets = True

    def take(self):
        self.window.set_selection_owner(self.clipboard, X.CurrentTime)
        self.d.sync()
        return self.d.get_selection_owner(self.clipboard) == self.window

    def run(self):
        while True:
            now = time.monotonic()
            due = [e for t, e in self.timed if t <= now]
            self.timed = [(t, e) for t, e in self.timed if t > now]
            for ev in due:
                self.send_piece(ev)
            while self.d.pending_events():
                ev = self.d.next_event()
                if ev.type == X.SelectionRequest:
                    self.on_request(ev)
                elif ev.type == X.PropertyNotify and ev.state == X.PropertyDelete:
                    self.on_delete(ev)
            self.d.flush()
            wait = min((t for t, _ in self.timed), default=now + 1) - time.monotonic()
            select.select([self.d.fileno()], [], [], max(0, wait))

    def notify(self, req, prop):
        reply = event.SelectionNotify(time=req.time, requestor=req.requestor,
                                      selection=req.selection, target=req.target,
                                      property=prop)
        req.requestor.send_event(reply, event_mask=0)
        self.d.flush()

    def on_request(self, req):
        if self.transfers:
            self.deferred.append(req)
            return
        name = self.d.get_atom_name(req.target)
        print("request", name, flush=True)
        if name in self.args.ignore:
            return
        if name in self.args.refuse:
            self.notify(req, X.NONE)
        elif req.target == self.targets_atom:
            self.answer_targets(req)
        elif req.target not in self.offered:
            self.notify(req, X.NONE)
        elif name in self.incr:
            self.start_incr(req, pattern(self.incr[name]))
        elif name in self.trickle:
            count, delay = self.trickle[name]
            self.start_incr(req, pattern(count), piece=1, delay=delay)
        else:
            data = pattern(self.sizes[name]) if name in self.sizes else ("<%s>" % name).encode()
            req.requestor.change_property(req.property, req.target, 8, data)
            self.notify(req, req.property)

    def answer_targets(self, req):
        atoms = [self.targets_atom] + self.offered
        if self.args.junk_targets:
            atoms = array.array("I", atoms)
            atoms.extend(range(FIRST_JUNK_ATOM, FIRST_JUNK_ATOM + self.args.junk_targets))
            if len(atoms) * 4 > PIECE:
                self.start_incr(req, atoms, prop_type=Xatom.ATOM, prop_format=32, piece=JUNK_PIECE)
                return
            atoms = atoms.tobytes()
        if self.first_targets and self.args.late_first:
            seconds, kind = self.args.late_first.split(":")
            time.sleep(float(seconds))
            if kind == "refuse":
                self.first_targets = False
                self.notify(req, X.NONE)
                return
            atoms.append(self.d.intern_atom("text/x-stale-answer"))
        self.first_targets = False
        req.requestor.change_property(req.property, Xatom.ATOM, 32, atoms)
        self.notify(req, req.property)

    def start_incr(self, req, data, prop_type=None, prop_format=8, piece=PIECE, delay=0.0):
        req.requestor.change_attributes(event_mask=X.PropertyChangeMask)
        req.requestor.change_property(req.property, self.incr_atom, 32, [len(data) * prop_format // 8])
        self.transfers[(req.requestor.id, req.property)] = [
            req.requestor, prop_type or req.target, prop_format, data, piece, delay]
        self.notify(req, req.property)

    def on_delete(self, ev):
        key = (ev.window.id, ev.atom)
        if key not in self.transfers:
            return
        delay = self.transfers[key][5]
        if delay:
            self.timed.append((time.monotonic() + delay, ev))
        else:
            self.send_piece(ev)

    def send_piece(self, ev):
        key = (ev.window.id, ev.atom)
        window, prop_type, prop_format, data, size, _ = self.transfers[key]
        piece, rest = data[:size], data[size:]
        window.change_property(ev.atom, prop_type, prop_format,
                               piece.tobytes() if isinstance(piece, array.array) else piece)
        self.d.flush()
        if not piece:
            del self.transfers[key]
            while self.deferred and not self.transfers:
                self.on_request(self.deferred.pop(0))
            return
        self.transfers[key][3] = rest
        if self.args.die_mid_incr:
            self.d.sync()
            os._exit(0)


def parse_size(arg):
    name, n = arg.rsplit(":", 1)
    return name, int(n)


def parse_trickle(arg):
    name, n, seconds = arg.rsplit(":", 2)
    return name, (int(n), float(seconds))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--refuse", action="append", default=[])
    parser.add_argument("--ignore", action="append", default=[])
    parser.add_argument("--size", action="append", default=[])
    parser.add_argument("--incr", action="append", default=[])
    parser.add_argument("--die-mid-incr", action="store_true")
    parser.add_argument("--late-first")
    parser.add_argument("--trickle", action="append", default=[])
    parser.add_argument("--junk-targets", type=int, default=0)
    parser.add_argument("targets", nargs="*")
    owner = Owner(parser.parse_args())
    if not owner.take():
        print("could not take CLIPBOARD", file=sys.stderr)
        return 1
    print("ready", flush=True)
    owner.run()


if __name__ == "__main__":
    sys.exit(main())
