#!/usr/bin/env python3
"""Writes the OMA samples in this folder. Run it from anywhere: python3 make-samples.py

The lens outline is a rounded rectangle (a superellipse) tilted a little towards
the upper temporal corner; radii are hundredths of a millimetre, 0 degrees nasal,
counter-clockwise. The left eye is the mirror image of the right one."""
import math
import os

HERE = os.path.dirname(os.path.abspath(__file__))


def radius(deg):
    t = math.radians(deg)
    a, b, n = 25.0, 19.4, 2.6
    r = (abs(math.cos(t) / a) ** n + abs(math.sin(t) / b) ** n) ** (-1 / n)
    return r * (1 + 0.025 * math.cos(t - math.radians(140)))


def trace(points):
    return [round(100 * radius(360 * i / points)) for i in range(points)]


def mirror(radii):
    n = len(radii)
    return [radii[(n // 2 - i) % n] for i in range(n)]


def measures(radii):
    n = len(radii)
    xy = [(r * math.cos(2 * math.pi * i / n) / 100, r * math.sin(2 * math.pi * i / n) / 100)
          for i, r in enumerate(radii)]
    xs, ys = [p[0] for p in xy], [p[1] for p in xy]
    circ = sum(math.dist(xy[i], xy[(i + 1) % n]) for i in range(n))
    return max(xs) - min(xs), max(ys) - min(ys), circ


def rrecords(radii, per=10):
    return ["R=" + ";".join(str(r) for r in radii[i:i + per]) for i in range(0, len(radii), per)]


def write(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


right = trace(360)
assert 1800 <= min(right) and max(right) <= 2600
left = mirror(right)
h, v, c = measures(right)
box = [f"HBOX={h:.2f};{h:.2f}", f"VBOX={v:.2f};{v:.2f}", f"CIRC={c:.2f};{c:.2f}"]
records = (["JOB=1042", "DO=B", "DBL=18.00"] + box + ["TRCFMT=1;360;E;R;F"] + rrecords(right)
           + ["TRCFMT=1;360;E;L;F"] + rrecords(left))
write("ascii-two-eyes.oma", "".join(r + "\r\n" for r in records).encode("ascii"))

small = trace(36)
h, v, c = measures(small)
box = [f"HBOX={h:.2f};{h:.2f}", f"VBOX={v:.2f};{v:.2f}", f"CIRC={c:.2f};{c:.2f}"]

# One line, records separated by "|".
records = ["JOB=1043", "DO=B", "DBL=17.50"] + box + ["TRCFMT=1;36;E;B;F"] + rrecords(small)
write("pipe-separated.oma", ("|".join(records) + "\r\n").encode("ascii"))

# Records separated by FS, GS and RS, a run of two separators, a TAB inside a record.
FS, GS, RS = "\x1c", "\x1d", "\x1e"
parts = ["JOB=1044", FS, "DO=R", GS, "CLNAME=North\tWing", RS + RS, "DBL=19.00", FS,
         "TRCFMT=1;36;E;R;F"]
for i, r in enumerate(rrecords(small)):
    parts += [(GS, RS, FS)[i % 3], r]
write("control-separators.oma", ("".join(parts) + RS).encode("ascii"))

# Bytes above 127, written as single bytes (no code page, no UTF-8).
records = ["JOB=1045", "CLIENT=M\xfcller Augenoptik", "CLNAME=Optique Bel\xe9e \x96 Atelier \xa7 2",
           "DO=R", "DBL=18.50"] + box + ["TRCFMT=1;36;E;R;F"] + rrecords(small)
write("latin1-bytes.oma", "".join(r + "\r\n" for r in records).encode("latin-1"))
