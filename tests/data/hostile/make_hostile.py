#!/usr/bin/env python3
"""Writes the hostile drawings of this folder. The files are committed; run
this only to change them. The 10 MB single line is made by its test at run
time instead. tests/run/hostile_input_test.cpp holds the outcome of each."""
import os

HERE = os.path.dirname(os.path.abspath(__file__))


def dxf(*lines, end=b"\r\n"):
    out = b""
    for line in lines:
        out += (line.encode("latin-1") if isinstance(line, str) else line) + end
    return out


HEAD = ("  0", "SECTION", "  2", "ENTITIES")
TAIL = ("  0", "ENDSEC", "  0", "EOF")

files = {}
files["empty.dxf"] = b""
files["only-entities.dxf"] = b"ENTITIES"
# The binary DXF sentinel: 22 bytes ending in CR LF, Ctrl-Z, NUL, then binary groups.
files["binary-header.dxf"] = (b"AutoCAD Binary DXF\r\n\x1a\x00" + b"\x00SECTION\x00\x02ENTITIES\x00"
                              + b"\x00POINT\x00\x0aabcdefgh\x00\x00EOF\x00")
files["nul-bytes.dxf"] = dxf(*HEAD, "  0", "POINT", "  8", b"LAY\x00ER", " 10", "1", " 20", "2",
                             " 30", "3", b" 1\x00", "ignored", "  0", b"POINT\x00", " 10", "9",
                             " 20", "9", " 30", "9", *TAIL)
files["ctrl-z-mid-entity.dxf"] = (dxf(*HEAD, "  0", "LINE", "  8", "L", " 10", "1", " 20", "2",
                                      " 30", "3", " 11", "4") + b"\x1a" +
                                  dxf(" 21", "5", " 31", "6", "  0", "POINT", " 10", "7", " 20",
                                      "8", " 30", "9", *TAIL))
# Lone CRs inside lines are dropped: " 1\r0" reads as " 10", "PO\rINT" as "POINT".
files["lone-cr-inside-lines.dxf"] = dxf(*HEAD, "  0", "PO\rINT", "  8", "A\rB", " 1\r0", "1.5\r",
                                        " 20", "\r2", " 30", "3", *TAIL)
# Old Mac line ends: no line ends at all, one long line.
files["cr-line-ends.dxf"] = dxf(*HEAD, "  0", "POINT", " 10", "1", " 20", "2", " 30", "3", *TAIL,
                                end=b"\r")
files["unpadded-group-codes.dxf"] = dxf("0", "SECTION", "2", "ENTITIES", "0", "POINT", "8", "P",
                                        "10", "1", "20", "2", "30", "3", "0", "LINE", "8", "L", "10",
                                        "0", "20", "0", "30", "0", "11", "5", "21", "5", "31", "5",
                                        "0", "ENDSEC", "0", "EOF")

# A file ending inside every kind of entity, right after its first point's
# groups where it has one.
cut = {
    "point": ("POINT", "  5", "A1", "  8", "P", " 10", "1", " 20", "2", " 30", "3", "  8"),
    "circle": ("CIRCLE", "  8", "C", " 10", "1", " 20", "2", " 30", "3", " 40"),
    "arc": ("ARC", "  8", "A", " 10", "1", " 20", "2", " 30", "3", " 40", "5"),
    "ellipse": ("ELLIPSE", "  8", "E", " 10", "1", " 20", "2", " 30", "3", " 11"),
    "line": ("LINE", "  8", "L", " 10", "1", " 20", "2", " 30", "3", " 11", "4", " 21"),
    "spline": ("SPLINE", "  8", "S", " 10", "1", " 20", "2", " 30", "3", " 10", "4"),
    "insert": ("INSERT", "  8", "I", "  2", "BLK", " 10", "1", " 20", "2", " 30", "3", " 41"),
    "text": ("TEXT", "  8", "T", " 10", "1", " 20", "2", " 30", "3", "  1", "cut"),
    "mtext": ("MTEXT", "  8", "M", " 10", "1", " 20", "2", " 30", "3", "  3"),
    "lwpolyline": ("LWPOLYLINE", "  8", "W", " 90", "3", " 10", "1", " 20", "2", " 10", "3"),
    "polyline-header": ("POLYLINE", "  8", "H", " 66", "1", " 70"),
    "polyline-vertex": ("POLYLINE", "  8", "V", " 70", "8", "  0", "VERTEX", " 10", "1", " 20",
                        "2", " 30", "3", "  0", "VERTEX", " 10", "4"),
}
for kind, body in cut.items():
    files["ends-inside-%s.dxf" % kind] = dxf(*HEAD, "  0", *body)

# The vertices run into the next entity: its "  0" lines end vertices, its
# coordinates become theirs, and the file ends before any SEQEND.
files["polyline-without-seqend.dxf"] = dxf(*HEAD, "  0", "POLYLINE", "  8", "R", " 70", "0",
                                           "  0", "VERTEX", " 10", "1", " 20", "2", " 30", "3",
                                           "  0", "LINE", "  8", "OTHER", " 10", "7", " 20", "8",
                                           " 30", "9", " 11", "10", " 21", "11", " 31", "12", *TAIL)
files["non-numeric-coordinate.dxf"] = dxf(*HEAD, "  0", "POINT", " 10", "1", " 20", "2", " 30",
                                          "3", "  0", "POINT", " 10", "12 m", " 20", "2", " 30",
                                          "3", *TAIL)
files["decimal-comma.dxf"] = dxf(*HEAD, "  0", "POINT", " 10", "1.5", " 20", "2", " 30", "3",
                                 "  0", "POINT", " 10", "1,5", " 20", "2", " 30", "3", *TAIL)
# 1E-5000 is below the smallest extended value (it reads as zero);
# 1E5000 is beyond the largest.
files["exponent-beyond-range.dxf"] = dxf(*HEAD, "  0", "POINT", " 10", "1E-5000", " 20", "1E4000",
                                         " 30", "-1e-4950", "  0", "POINT", " 10", "1E5000", " 20",
                                         "2", " 30", "3", *TAIL)
files["header-flags-not-integer.dxf"] = dxf(*HEAD, "  0", "POLYLINE", "  8", "F", " 70", "8.0",
                                            "  0", "VERTEX", " 10", "1", " 20", "2", " 30", "3",
                                            "  0", "SEQEND", *TAIL)
files["vertex-flags-not-integer.dxf"] = dxf(*HEAD, "  0", "POLYLINE", "  8", "F", " 70", " +8",
                                            "  0", "VERTEX", " 10", "1", " 20", "2", " 30", "3",
                                            " 70", "32", "  0", "VERTEX", " 10", "4", " 20", "5",
                                            " 30", "6", " 70", "0x20", "  0", "SEQEND", *TAIL)
nested = []
for i in range(1000):
    nested += ["  0", "POLYLINE", "  5", "H%d" % i, " 70", "8" if i % 2 else "0"]
files["nested-polyline-headers.dxf"] = dxf(*HEAD, *nested, "  0", "VERTEX", " 10", "1", " 20",
                                           "2", " 30", "3", "  0", "VERTEX", " 10", "4", " 20",
                                           "5", " 30", "6", "  0", "SEQEND", *TAIL)
files["odd-handles-and-layers.dxf"] = dxf(*HEAD, "  0", "POINT", "  5", "1,F", "  8",
                                          'Wall, "north"', " 10", "1", " 20", "2", " 30", "3",
                                          "  0", "TEXT", "  5", "'q'", "  8",
                                          b"Stra\xdfe \xe9t\xe9 \xff\x80", "  1", "a,b;\"c\"",
                                          " 10", "4", " 20", "5", " 30", "6", *TAIL)

for name, data in files.items():
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)
