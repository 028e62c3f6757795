#!/usr/bin/env python3
"""The drawing geometry of the preview's pass held against ezdxf's reading of
the same drawings, over the corpus: every entity of model space that the
preview draws, and the entities of the blocks it inserts, flattened by ezdxf
(ezdxf.path.make_path and Path.flattening) and compared in order, type by
type, with the polylines the pass collected (korvel_geometry_dump). The
insertion points of texts and block references against the marks.

    ezdxf_geometry_reference.py KORVEL_GEOMETRY_DUMP CORPUS_DIR

A polyline agrees when each vertex lies within the tolerance of the other's
polyline, both ways (one way for a spline of fit points alone, which ezdxf
interpolates and the preview joins): 2e-3 of the entity's size (the chords
of both flattenings stay within about 6e-4), plus what the float offsets of
the preview round away.

Exit status 0 when they agree, 1 with the differences listed, 77 when ezdxf
is not installed (the test is then skipped).
"""
import collections
import logging
import os
import subprocess
import sys

try:
    import ezdxf
    import numpy as np
    from ezdxf import path as ezpath
    from ezdxf import recover
    from ezdxf.math import BoundingBox, Vec3
except ImportError:
    print("ezdxf (Debian python3-ezdxf) not installed: skipped")
    sys.exit(77)

NAMES = ["Points", "Circles", "Arcs", "Ellipses", "Blocks", "Lines", "2D Polylines",
         "3D Polylines", "Splines", "Single texts", "Multiline texts"]
CIRCLE, ARC, ELLIPSE, BLOCK, LINE, POLY2D, POLY3D, SPLINE, TEXT, MTEXT = range(1, 11)
CURVES = {"LINE": LINE, "LWPOLYLINE": POLY2D, "CIRCLE": CIRCLE, "ARC": ARC, "ELLIPSE": ELLIPSE,
          "SPLINE": SPLINE}
RELATIVE = 2e-3  # of an entity's size
FLATTENING = 1e-4  # ezdxf's chord distance, of the entity's size
MOST_NESTING = 16
FLOAT_STEP = 2.0 ** -23  # of an offset from a polyline's anchor: the float's rounding, with room


def dump(program, drawing):
    done = subprocess.run([program, drawing], capture_output=True, check=True)
    lines = done.stdout.decode("latin-1").splitlines()
    polylines, marks, truncated, error = [], [], False, None
    i = 0
    while i < len(lines):
        words = lines[i].split()
        if words[0] == "P":
            n = int(words[2])
            xy = np.array([[float(v) for v in line.split()] for line in lines[i + 1:i + 1 + n]])
            polylines.append((int(words[1]), xy.reshape(n, 2)))
            i += n
        elif words[0] == "M":
            marks.append((int(words[1]), float(words[2]), float(words[3])))
        elif words[0] == "truncated":
            truncated = True
        elif words[0] == "error":
            error = lines[i][6:]
        i += 1
    return polylines, marks, truncated, error


class Reference:
    """ezdxf's polylines and marks of a drawing, in the order of the pass."""

    def __init__(self, doc):
        self.doc = doc
        self.polylines = []  # (type, xy, both ways, size)
        self.marks = []

    def entity(self, e, m, depth):
        kind = e.dxftype()
        if e.dxf.get("paperspace", 0) == 1:
            return
        if kind == "INSERT":
            self.insert(e, m, depth)
        elif kind in ("TEXT", "MTEXT"):
            p = e.dxf.insert
            if kind == "TEXT":
                p = e.ocs().to_wcs(p)
            if m is not None:
                p = m.transform(p)
            self.marks.append((TEXT if kind == "TEXT" else MTEXT, p.x, p.y))
        elif kind == "POLYLINE":
            if e.is_2d_polyline or e.is_3d_polyline:
                self.curve(e, POLY2D if e.is_2d_polyline else POLY3D, m, polyline_path(e))
        elif kind in CURVES:
            if kind in ("CIRCLE", "ARC") and not e.dxf.radius > 0:
                return
            self.curve(e, CURVES[kind], m)

    def insert(self, e, m, depth):
        if depth == 0:
            p = e.ocs().to_wcs(e.dxf.insert)
            self.marks.append((BLOCK, p.x, p.y))
        block = self.doc.blocks.get(e.dxf.name)
        if block is None or depth >= MOST_NESTING:
            return
        cells = [e]
        if e.mcount > 1:
            # A cell at the place of another is drawn once.
            columns = e.dxf.column_count if e.dxf.column_spacing != 0 else 1
            rows = e.dxf.row_count if e.dxf.row_spacing != 0 else 1
            cells = [c for i, c in enumerate(e.multi_insert())
                     if i // e.dxf.column_count < rows and i % e.dxf.column_count < columns]
        for cell in cells:
            placed = cell.matrix44() if m is None else cell.matrix44() * m
            for inner in block:
                self.entity(inner, placed, depth + 1)

    def curve(self, e, kind, m, p=None):
        if p is None:
            p = ezpath.make_path(e)
        if m is not None:
            p = p.transform(m)
        box = BoundingBox(p.control_vertices())
        size = box.size.magnitude if box.has_data else 0.0
        xy = np.array([(v.x, v.y) for v in p.flattening(max(size * FLATTENING, 1e-12))])
        if len(xy) == 0:
            return
        both = not (kind == SPLINE and e.dxftype() == "SPLINE" and e.control_point_count() == 0)
        self.polylines.append((kind, xy.reshape(-1, 2), both, size))


def distances(points, a, ab, length2):
    """The distance of each point from the nearest of the segments a, a + ab
    (points: n x 2; the segments: n x k x 2, one row of candidates a point)."""
    t = np.clip(((points[:, None, :] - a) * ab).sum(2) / length2, 0.0, 1.0)
    return np.sqrt(((points[:, None, :] - (a + t[..., None] * ab)) ** 2).sum(2)).min(1)


def fractions(xy):
    """How far along the polyline each vertex lies, 0 to 1."""
    run = np.concatenate([[0.0], np.cumsum(np.sqrt((np.diff(xy, axis=0) ** 2).sum(1)))])
    return run / run[-1] if run[-1] > 0 else run


def polyline_path(e):
    """A POLYLINE's path; the vertices that frame a spline-fit polyline
    (flag 16), which ezdxf's path keeps, are no part of the curve drawn."""
    if not any(v.dxf.flags & 16 for v in e.vertices):
        return ezpath.make_path(e)
    points = [v.dxf.location for v in e.vertices if not v.dxf.flags & 16]
    if e.is_2d_polyline:
        ocs, z = e.ocs(), e.dxf.elevation.z
        points = [ocs.to_wcs(Vec3(p.x, p.y, z)) for p in points]
    if e.is_closed:
        points.append(points[0])
    return ezpath.from_vertices(points)


def farthest(points, line, tolerance):
    """The greatest distance of any of `points` from the polyline `line`. Both
    trace the same curve the same way: each point is held against the
    segments about as far along, and against all of them when those are
    more than a quarter of the tolerance away."""
    if len(line) == 1:
        return float(np.sqrt(((points - line[0]) ** 2).sum(1)).max())
    a, ab = line[:-1], np.diff(line, axis=0)
    length2 = (ab ** 2).sum(1)
    length2 = np.where(length2 > 0, length2, 1.0)
    along, marks = fractions(points), fractions(line)
    # The segments within 0.2% of the length either side, 512 at most.
    centre = np.searchsorted(marks, along)
    width = int(min((np.searchsorted(marks, along + 0.002) -
                     np.searchsorted(marks, along - 0.002)).max() + 4, 512))
    low = np.clip(centre - width // 2, 0, max(len(a) - width, 0))
    near = np.empty(len(points))
    for k in range(0, len(points), 256):
        rows = np.clip(low[k:k + 256, None] + np.arange(width), 0, len(a) - 1)
        near[k:k + 256] = distances(points[k:k + 256], a[rows], ab[rows], length2[rows])
    far = np.flatnonzero(near > tolerance / 4)
    for k in range(0, len(far), 64):
        rows = far[k:k + 64]
        near[rows] = distances(points[rows], a[None], ab[None], length2[None])
    return float(near.max())


class Guesses(logging.Handler):
    """Counts the numbers ezdxf reads as something else ("2,5" as 2.0)."""

    def __init__(self):
        super().__init__()
        self.count = 0

    def emit(self, record):
        self.count += "invalid floating point value" in record.getMessage()


GUESSES = Guesses()
logging.getLogger("ezdxf").addHandler(GUESSES)


def read(drawing):
    GUESSES.count = 0
    try:
        doc = ezdxf.readfile(drawing)
    except Exception:
        doc, _ = recover.readfile(drawing)
    if GUESSES.count:
        raise ValueError(f"{GUESSES.count} numbers ezdxf reads as others")
    return doc


def main():
    if len(sys.argv) != 3:
        print(__doc__)
        return 2
    program, corpus = sys.argv[1:]
    drawings = sorted(os.path.join(folder, name) for folder, _, names in os.walk(corpus)
                      for name in names if name.lower().endswith(".dxf"))
    failures = []
    compared = collections.Counter()  # polylines by type
    worst = collections.defaultdict(float)  # distance / size by type
    marks = collections.Counter()
    held = skipped = 0
    for drawing in drawings:
        name = os.path.relpath(drawing, corpus)
        try:
            doc = read(drawing)
        except Exception as error:
            skipped += 1
            print(f"{name}: ezdxf cannot read it ({type(error).__name__}): not compared")
            continue
        ours, our_marks, truncated, error = dump(program, drawing)
        if error is not None or truncated:
            skipped += 1
            print(f"{name}: the pass ended in an error ({error}) or left geometry out: "
                  "not compared")
            continue
        ref = Reference(doc)
        try:
            for e in doc.modelspace():
                ref.entity(e, None, 0)
        except Exception as error:
            skipped += 1
            print(f"{name}: ezdxf cannot flatten it ({type(error).__name__}: {error}): "
                  "not compared")
            continue
        held += 1
        by_type = collections.defaultdict(lambda: ([], []))
        for kind, xy in ours:
            by_type[kind][0].append(xy)
        for kind, xy, both, size in ref.polylines:
            by_type[kind][1].append((xy, both, size))
        for kind, (mine, theirs) in sorted(by_type.items()):
            if len(mine) != len(theirs):
                failures.append(f"{name}: {NAMES[kind]}: {len(mine)} polylines, "
                                f"ezdxf {len(theirs)}")
                continue
            for i, (xy, (rxy, both, size)) in enumerate(zip(mine, theirs)):
                reach = float(np.abs(xy - xy[0]).max())
                tolerance = RELATIVE * size + FLOAT_STEP * reach + 1e-9
                distance = farthest(xy, rxy, tolerance)
                if both:
                    distance = max(distance, farthest(rxy, xy, tolerance))
                compared[kind] += 1
                if size > 1e4 * FLOAT_STEP * reach:  # not one of float rounding
                    worst[kind] = max(worst[kind], distance / size)
                if distance > tolerance:
                    failures.append(f"{name}: {NAMES[kind]} {i}: {distance:.3g} from ezdxf's, "
                                    f"tolerance {tolerance:.3g} ({len(xy)} and {len(rxy)} "
                                    f"vertices)")
        mine = collections.defaultdict(list)
        theirs = collections.defaultdict(list)
        for kind, x, y in our_marks:
            mine[kind].append((x, y))
        for kind, x, y in ref.marks:
            theirs[kind].append((x, y))
        for kind in sorted(set(mine) | set(theirs)):
            a, b = np.array(mine[kind]), np.array(theirs[kind])
            if a.shape != b.shape:
                failures.append(f"{name}: {len(a)} marks of {NAMES[kind]}, ezdxf {len(b)}")
                continue
            if float((np.abs(a - b) / np.maximum(np.abs(b), 1.0)).max()) > 1e-9:
                failures.append(f"{name}: marks of {NAMES[kind]} differ")
            marks[kind] += len(a)
    for kind in sorted(compared):
        print(f"{NAMES[kind]}: {compared[kind]} polylines, farthest {worst[kind]:.2e} of the "
              "entity's size (but for those that float rounding outweighs)")
    for kind in sorted(marks):
        print(f"{NAMES[kind]}: {marks[kind]} marks")
    print(f"{held} drawings compared, {skipped} not")
    for failure in failures:
        print(failure)
    if failures:
        print(f"{len(failures)} differences")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
