#!/usr/bin/env python3
"""Clicks in the player's window as a player would, through the X server's XTEST extension.

Usage: bench/x_click.py COUNT SECONDS X Y
Clicks the left button COUNT times, SECONDS apart, at the frame point (X, Y) of the 800-wide
top-level window of the display in $DISPLAY (the tool bar strip is rows 0 to 23). Exits 1 when
there is no such window or no XTEST.
"""
import ctypes
import ctypes.util
import sys
import time


def library(name, fallback):
    return ctypes.CDLL(ctypes.util.find_library(name) or fallback)


def main():
    if len(sys.argv) != 5:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    count, seconds = int(sys.argv[1]), float(sys.argv[2])
    fx, fy = int(sys.argv[3]), int(sys.argv[4])
    x11 = library("X11", "libX11.so.6")
    xtst = library("Xtst", "libXtst.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XDefaultRootWindow.restype = ctypes.c_ulong
    x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x11.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + [ctypes.c_void_p] * 4
    x11.XGetGeometry.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + [ctypes.c_void_p] * 7
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XFree.argtypes = [ctypes.c_void_p]
    xtst.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int,
                                          ctypes.c_int, ctypes.c_ulong]
    xtst.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                                          ctypes.c_ulong]

    display = x11.XOpenDisplay(None)
    if not display:
        print("x_click: cannot open the display", file=sys.stderr)
        return 1
    root = x11.XDefaultRootWindow(display)
    root_return, parent = ctypes.c_ulong(), ctypes.c_ulong()
    children = ctypes.POINTER(ctypes.c_ulong)()
    n = ctypes.c_uint()
    x11.XQueryTree(display, root, ctypes.byref(root_return), ctypes.byref(parent),
                   ctypes.byref(children), ctypes.byref(n))
    place = None
    for i in range(n.value):
        r = ctypes.c_ulong()
        x, y = ctypes.c_int(), ctypes.c_int()
        w, h, border, depth = (ctypes.c_uint() for _ in range(4))
        if x11.XGetGeometry(display, children[i], ctypes.byref(r), ctypes.byref(x),
                            ctypes.byref(y), ctypes.byref(w), ctypes.byref(h),
                            ctypes.byref(border), ctypes.byref(depth)) and w.value == 800:
            place = (x.value, y.value)
    if children:
        x11.XFree(children)
    if place is None:
        print("x_click: no 800-wide window on the display", file=sys.stderr)
        return 1
    for i in range(count):
        xtst.XTestFakeMotionEvent(display, -1, place[0] + fx, place[1] + fy, 0)
        xtst.XTestFakeButtonEvent(display, 1, 1, 0)
        x11.XFlush(display)
        time.sleep(0.05)
        xtst.XTestFakeButtonEvent(display, 1, 0, 0)
        x11.XFlush(display)
        if i + 1 < count:
            time.sleep(seconds)
    return 0


if __name__ == "__main__":
    sys.exit(main())
