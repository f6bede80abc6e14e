"""XFixes notifications of CLIPBOARD owner changes, received on an X connection
of their own: the end-to-end tests and the latency benchmark see each change
of owner, with the server's time of it, without asking any owner anything."""
import select
import time


class OwnerWatch:
    def __init__(self):
        from Xlib import display
        from Xlib.ext import xfixes
        self.x = display.Display()
        self.x.xfixes_query_version()
        self.clipboard = self.x.intern_atom("CLIPBOARD")
        self.x.xfixes_select_selection_input(self.x.screen().root, self.clipboard,
                                             xfixes.XFixesSetSelectionOwnerNotifyMask)
        self.x.sync()

    def _next_event(self, timeout):
        """(receipt time, event) of the next owner change; raises TimeoutError
        when none comes within `timeout` seconds."""
        deadline = time.monotonic() + timeout
        while True:
            while self.x.pending_events():
                event = self.x.next_event()
                if getattr(event, "selection", None) == self.clipboard and hasattr(event, "owner"):
                    return time.monotonic(), event
            remaining = deadline - time.monotonic()
            if remaining <= 0:
                raise TimeoutError(f"no CLIPBOARD owner change within {timeout} s")
            select.select([self.x.fileno()], [], [], remaining)

    @staticmethod
    def _owner(event):
        return event.owner if isinstance(event.owner, int) else event.owner.id

    def next_change(self, timeout=10):
        """(receipt time, new owner window id, server time in ms) of the next owner change."""
        received, event = self._next_event(timeout)
        return received, self._owner(event), event.timestamp

    def next_selection(self, timeout=10):
        """(new owner window id, the time the owner gave for its selection) of the next change."""
        _, event = self._next_event(timeout)
        return self._owner(event), event.selection_timestamp

    def next_owner(self, timeout=10):
        """The window id of the next owner."""
        return self.next_change(timeout)[1]

    def next_other_than(self, window, timeout=10):
        """Waits for an owner change to a window other than `window`; returns it."""
        while True:
            owner = self.next_owner(timeout)
            if owner != window:
                return owner

    def drain(self):
        while self.x.pending_events():
            self.x.next_event()

    def close(self):
        self.x.close()
