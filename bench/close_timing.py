#!/usr/bin/env python3
"""How long the window takes to end when its close button is pressed, and what it leaves in
the temporary folder.

Starts `sorowa SOURCE TARGET` (which opens both files and compares them at once) with a
private TMPDIR and settings folder, waits until the Compare is under way (its report file
appears) or, with --after, until it has finished, then asks the window to close as the
window manager's close button does (a WM_DELETE_WINDOW message, sent through libX11), and
prints the time until the process has ended and the files left in TMPDIR. Run it under
xvfb-run:

  xvfb-run -a -s "-screen 0 1280x1024x24" bench/close_timing.py build/src/app/sorowa
  xvfb-run -a -s "-screen 0 1280x1024x24" bench/close_timing.py build/src/app/sorowa --after

By default the texts are 30 pairs of 170,000-character lines, about one character in
twelve changed.
"""

import argparse
import ctypes
import ctypes.util
import os
import random
import subprocess
import sys
import tempfile
import time

CHARS = ("あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほまみむめもやゆよらりるれろわを"
         "ん日本語文章東京大学研究開発情報処理機械翻訳評価結果方法問題解決時間空間世界社会経済")


def write_texts(folder, lines, length, seed):
    rng = random.Random(seed)
    source, target = [], []
    for _ in range(lines):
        s = [rng.choice(CHARS) for _ in range(length)]
        t = [rng.choice(CHARS) if rng.randrange(12) == 0 else c for c in s]
        source.append("".join(s) + "。")
        target.append("".join(t) + "。")
    paths = []
    for name, text in (("source.txt", source), ("target.txt", target)):
        path = os.path.join(folder, name)
        with open(path, "w", encoding="utf-8") as f:
            f.write("\n".join(text) + "\n")
        paths.append(path)
    return paths


class X11:
    """Just enough of libX11 to find a top-level window by its title and ask it to close."""

    class ClientMessage(ctypes.Structure):
        _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                    ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                    ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                    ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]

    class Event(ctypes.Union):
        pass

    Event._fields_ = [("client", ClientMessage), ("pad", ctypes.c_long * 24)]

    def __init__(self):
        lib = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
        lib.XOpenDisplay.restype = ctypes.c_void_p
        lib.XOpenDisplay.argtypes = [ctypes.c_char_p]
        lib.XDefaultRootWindow.restype = ctypes.c_ulong
        lib.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        lib.XInternAtom.restype = ctypes.c_ulong
        lib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        lib.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
                                   ctypes.POINTER(ctypes.c_ulong),
                                   ctypes.POINTER(ctypes.POINTER(ctypes.c_ulong)),
                                   ctypes.POINTER(ctypes.c_uint)]
        lib.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_void_p]
        lib.XFetchName.argtypes = [ctypes.c_void_p, ctypes.c_ulong,
                                   ctypes.POINTER(ctypes.c_char_p)]
        lib.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                                   ctypes.c_void_p]
        lib.XFlush.argtypes = [ctypes.c_void_p]
        lib.XFree.argtypes = [ctypes.c_void_p]
        self.lib = lib
        self.display = lib.XOpenDisplay(None)
        if not self.display:
            sys.exit("cannot open the X display; run under xvfb-run")

    class Attributes(ctypes.Structure):
        _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int),
                    ("height", ctypes.c_int), ("border_width", ctypes.c_int),
                    ("depth", ctypes.c_int), ("visual", ctypes.c_void_p),
                    ("root", ctypes.c_ulong), ("c_class", ctypes.c_int),
                    ("bit_gravity", ctypes.c_int), ("win_gravity", ctypes.c_int),
                    ("backing_store", ctypes.c_int), ("backing_planes", ctypes.c_ulong),
                    ("backing_pixel", ctypes.c_ulong), ("save_under", ctypes.c_int),
                    ("colormap", ctypes.c_ulong), ("map_installed", ctypes.c_int),
                    ("map_state", ctypes.c_int), ("all_event_masks", ctypes.c_long),
                    ("your_event_mask", ctypes.c_long),
                    ("do_not_propagate_mask", ctypes.c_long),
                    ("override_redirect", ctypes.c_int), ("screen", ctypes.c_void_p)]

    def viewable(self, window):
        # The toolkit may leave an unmapped window of the same title behind when it creates
        # the window anew (the browser view asks for another kind of surface).
        attributes = self.Attributes()
        if not self.lib.XGetWindowAttributes(self.display, window, ctypes.byref(attributes)):
            return False
        return attributes.map_state == 2  # IsViewable

    def find(self, title):
        lib = self.lib
        root = lib.XDefaultRootWindow(self.display)
        root_out, parent = ctypes.c_ulong(), ctypes.c_ulong()
        children = ctypes.POINTER(ctypes.c_ulong)()
        count = ctypes.c_uint()
        if not lib.XQueryTree(self.display, root, ctypes.byref(root_out), ctypes.byref(parent),
                              ctypes.byref(children), ctypes.byref(count)):
            return None
        found = None
        for i in range(count.value):
            name = ctypes.c_char_p()
            if lib.XFetchName(self.display, children[i], ctypes.byref(name)) and name.value:
                if name.value.decode("utf-8", "replace") == title and self.viewable(children[i]):
                    found = children[i]
                lib.XFree(name)
        if children:
            lib.XFree(children)
        return found

    def close(self, window):
        lib = self.lib
        event = self.Event()
        event.client.type = 33  # ClientMessage
        event.client.window = window
        event.client.message_type = lib.XInternAtom(self.display, b"WM_PROTOCOLS", 0)
        event.client.format = 32
        event.client.data[0] = lib.XInternAtom(self.display, b"WM_DELETE_WINDOW", 0)
        event.client.data[1] = 0  # CurrentTime
        lib.XSendEvent(self.display, window, 0, 0, ctypes.byref(event))
        lib.XFlush(self.display)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("sorowa", help="the sorowa program")
    parser.add_argument("--lines", type=int, default=30)
    parser.add_argument("--length", type=int, default=170000)
    parser.add_argument("--after", action="store_true",
                        help="close once the Compare has finished, not while it runs")
    parser.add_argument("--wait", type=float, default=1.0,
                        help="seconds to let the Compare run once its report file appears")
    parser.add_argument("--timeout", type=float, default=120.0)
    args = parser.parse_args()

    x11 = X11()
    with tempfile.TemporaryDirectory() as work:
        texts = os.path.join(work, "texts")
        tmp = os.path.join(work, "tmp")
        config = os.path.join(work, "config")
        for folder in (texts, tmp, config):
            os.mkdir(folder)
        source, target = write_texts(texts, args.lines, args.length, 24)
        env = dict(os.environ, TMPDIR=tmp, XDG_CONFIG_HOME=config,
                   QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu --no-sandbox")
        program = subprocess.Popen([args.sorowa, source, target], env=env)
        started = time.monotonic()

        def reports():
            return sorted(name for name in os.listdir(tmp) if name.endswith(".htm"))

        # While the Compare runs, its report grows; once it is done the file stops growing.
        while not reports():
            if program.poll() is not None or time.monotonic() - started > args.timeout:
                sys.exit("no report file appeared")
            time.sleep(0.05)
        if args.after:
            last = -1
            while True:
                size = sum(os.path.getsize(os.path.join(tmp, n)) for n in reports())
                if size == last:
                    break
                last = size
                time.sleep(2.0)
        else:
            time.sleep(args.wait)
        # The window is made anew once the report view's browser widget arrives, which
        # happens when the event loop first turns after start-up: here, in the first moments
        # of the Compare. A request sent to the old window would be lost.
        window, since = None, time.monotonic()
        while time.monotonic() - started < args.timeout:
            found = x11.find("Sorowa 1.0")
            if found != window:
                window, since = found, time.monotonic()
            elif window is not None and time.monotonic() - since >= 1.0:
                break
            time.sleep(0.05)
        if window is None:
            sys.exit("the window was not found")
        compared = time.monotonic() - started
        asked = time.monotonic()
        x11.close(window)
        try:
            status = program.wait(timeout=args.timeout)
        except subprocess.TimeoutExpired:
            program.kill()
            sys.exit("the program had not ended %.0f s after the close request" % args.timeout)
        took = time.monotonic() - asked
        left = reports()
        print("closed %.1f s after start: process ended %.2f s after the close request, "
              "status %d, left in TMPDIR: %s" % (compared, took, status, left or "nothing"))
        return 0 if not left else 1


if __name__ == "__main__":
    sys.exit(main())
