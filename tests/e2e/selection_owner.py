"""A CLIPBOARD owner written with python-xlib, for copies that xclip cannot make:
several targets at once, in a chosen order, and thousands of copies in a row
without starting a process for each.

`SelectionOwner.offer([(target, bytes), ...])` takes the selection and serves
TARGETS (the offered targets in the given order, after TARGETS itself) and each
offered target from a thread of its own, until another client takes the
selection or close() is called. Every target asked for is recorded in
`requests`, so a test can see what a reader asked for.

Data goes out in one piece (no INCR), so keep each offer well below the
server's request size (a few hundred kilobytes).
"""
import os
import select
import threading
import time

from Xlib import X, Xatom, display as xdisplay
from Xlib.protocol import event as xevent


class SelectionOwner:
    def __init__(self, selection="CLIPBOARD"):
        self.x = xdisplay.Display()
        self.selection = self.x.intern_atom(selection)
        self.targets_atom = self.x.intern_atom("TARGETS")
        root = self.x.screen().root
        self.window = root.create_window(0, 0, 1, 1, 0, X.CopyFromParent)
        self.lock = threading.Lock()
        self.offers = {}        # atom -> bytes
        self.order = []         # atoms in offering order
        self.requests = []      # target names asked for, in order
        self.owning = False
        self.taken_at = None    # time.monotonic() when the last offer took the selection
        self.pending = []       # offers waiting for the serving thread
        self.wake_read, self.wake_write = os.pipe()
        self.stopping = False
        self.names = {}
        self.failure = None     # what ended the serving thread early
        self.thread = threading.Thread(target=self._serve, daemon=True)
        self.thread.start()

    # Called from the test's thread ------------------------------------------------

    def offer(self, items, timeout=10, when=X.CurrentTime):
        """Takes the selection with `items`, a list of (target name, bytes); returns
        once the server has answered, with the timestamp of the request (a
        toolkit passes the time of the event that made the copy), `when`; the server
        refuses it when it is older than the current owner's, and owns() tells."""
        done = threading.Event()
        with self.lock:
            self.pending.append((list(items), when, done))
        os.write(self.wake_write, b"o")
        if not done.wait(timeout):
            raise RuntimeError(f"the selection owner did not take CLIPBOARD in time ({self.failure or 'no error'})")

    def owns(self):
        with self.lock:
            return self.owning

    def requested(self):
        with self.lock:
            return list(self.requests)

    def forget_requests(self):
        with self.lock:
            self.requests.clear()

    def close(self):
        self.stopping = True
        os.write(self.wake_write, b"q")
        self.thread.join(timeout=5)
        try:
            self.x.close()
        finally:
            os.close(self.wake_read)
            os.close(self.wake_write)

    # The serving thread ----------------------------------------------------------

    def _atom(self, name):
        atom = self.x.intern_atom(name)
        self.names[atom] = name
        return atom

    def _name(self, atom):
        if atom not in self.names:
            self.names[atom] = self.x.get_atom_name(atom)
        return self.names[atom]

    def _take(self, items, when, done):
        atoms = [self._atom(name) for name, _ in items]
        with self.lock:
            self.order = atoms
            self.offers = {atom: data for atom, (_, data) in zip(atoms, items)}
        self.window.set_selection_owner(self.selection, when)
        self.x.sync()
        owner = self.x.get_selection_owner(self.selection)
        with self.lock:
            self.owning = owner != X.NONE and owner.id == self.window.id
            self.taken_at = time.monotonic()
        done.set()

    def _answer(self, e):
        target = e.target
        prop = e.property if e.property != X.NONE else target  # obsolete requestors name no property
        with self.lock:
            self.requests.append(self._name(target))
            order, offers = list(self.order), dict(self.offers)
        if target == self.targets_atom:
            e.requestor.change_property(prop, Xatom.ATOM, 32, [self.targets_atom] + order)
        elif target in offers:
            e.requestor.change_property(prop, target, 8, offers[target])
        else:
            prop = X.NONE
        reply = xevent.SelectionNotify(time=e.time, requestor=e.requestor, selection=e.selection,
                                       target=e.target, property=prop)
        e.requestor.send_event(reply, event_mask=0)

    def _serve(self):
        try:
            self._loop()
        except Exception as e:  # reported by the next offer()
            self.failure = repr(e)
            raise

    def _loop(self):
        while not self.stopping:
            with self.lock:
                pending, self.pending = self.pending, []
            for items, when, done in pending:
                self._take(items, when, done)
            while self.x.pending_events():
                e = self.x.next_event()
                if e.type == X.SelectionRequest:
                    self._answer(e)
                elif e.type == X.SelectionClear:
                    with self.lock:
                        self.owning = False
            self.x.flush()
            if self.x.pending_events():
                continue
            ready, _, _ = select.select([self.x.fileno(), self.wake_read], [], [], 0.5)
            if self.wake_read in ready:
                os.read(self.wake_read, 4096)


class SelectionReader:
    """Reads CLIPBOARD in this process, without starting xclip: one ConvertSelection
    and its SelectionNotify. No INCR: for contents below the server's request size."""

    def __init__(self, selection="CLIPBOARD"):
        self.x = xdisplay.Display()
        self.selection = self.x.intern_atom(selection)
        self.property = self.x.intern_atom("TALLOWIN_READ")
        self.incr = self.x.intern_atom("INCR")
        self.window = self.x.screen().root.create_window(0, 0, 1, 1, 0, X.CopyFromParent)
        self.x.sync()

    def read(self, target="UTF8_STRING", timeout=10):
        """The bytes the owner gives for `target`; None when it refuses or there is no owner.
        Raises TimeoutError when the owner does not answer in time."""
        self.window.convert_selection(self.selection, self.x.intern_atom(target), self.property, X.CurrentTime)
        self.x.flush()
        deadline = time.monotonic() + timeout
        while True:
            while self.x.pending_events():
                e = self.x.next_event()
                if e.type == X.SelectionNotify and e.requestor.id == self.window.id:
                    if e.property == X.NONE:
                        return None
                    reply = self.window.get_full_property(self.property, X.AnyPropertyType)
                    self.window.delete_property(self.property)
                    self.x.flush()
                    if reply is None:
                        return None
                    if reply.property_type == self.incr:
                        raise RuntimeError("the owner sends the content in pieces (INCR), which is not read here")
                    value = reply.value
                    return value if isinstance(value, bytes) else bytes(value)
            remaining = deadline - time.monotonic()
            if remaining <= 0:
                raise TimeoutError("the CLIPBOARD owner did not answer")
            select.select([self.x.fileno()], [], [], remaining)

    def close(self):
        self.x.close()
