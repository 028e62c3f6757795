#!/usr/bin/python3
"""Writes spot-heights.dxf, the made survey drawing of the user guide: spot
heights drawn as crosses (POINT) and manhole symbols (INSERT) at Z = 0, each
with its height and its point number as texts beside it, contour labels,
a building and a kerb line. None of the real drawings Korvel is tested on
holds spot heights, so the guide shows the join on this one.

    /usr/bin/python3 docs/examples/make_spot_heights.py docs/examples/spot-heights.dxf

Needs ezdxf (Debian's python3-ezdxf). The same seed gives the same drawing.
"""
import math
import random
import sys

import ezdxf

random.seed(2026)
doc = ezdxf.new("R2000", setup=False)
doc.header["$INSUNITS"] = 6  # metres
for name, colour in [("SPOTS", 1), ("SPOT-HEIGHTS", 3), ("POINT-NUMBERS", 5),
                     ("MANHOLES", 6), ("CONTOURS", 8), ("BUILDINGS", 7), ("KERBS", 2)]:
    doc.layers.add(name, color=colour)
mh = doc.blocks.new("MH")
mh.add_circle((0, 0), 0.3)
mh.add_line((-0.3, 0), (0.3, 0))
msp = doc.modelspace()


def ground(x, y):
    return 12.0 + 0.045 * x + 0.03 * y + 0.4 * math.sin(x / 9.0)


def label(text, x, y, layer, mtext=False):
    if mtext:
        msp.add_mtext(text, dxfattribs={"insert": (x, y), "layer": layer, "char_height": 0.25})
    else:
        msp.add_text(text, height=0.25, dxfattribs={"insert": (x, y), "layer": layer})


number = 101
for row in range(6):
    for col in range(8):
        x = 5 + col * 5 + random.uniform(-1.2, 1.2)
        y = 5 + row * 5 + random.uniform(-1.2, 1.2)
        if 17 < x < 31 and 12 < y < 23:
            continue  # the building
        z = ground(x, y)
        msp.add_point((x, y, 0), dxfattribs={"layer": "SPOTS"})
        kind = (row * 8 + col) % 9
        height = f"{z:.2f}"
        if kind == 4:
            height = "+" + height.replace(".", ",")
        label(height, x + 0.3, y + 0.1, "SPOT-HEIGHTS", mtext=(kind == 7))
        label(str(number), x - 0.65, y - 0.4, "POINT-NUMBERS")
        number += 1

for i, (x, y) in enumerate([(8.5, 33.0), (24.0, 32.8), (39.5, 32.6), (43.5, 9.0)]):
    z = ground(x, y) + 0.15
    msp.add_blockref("MH", (x, y, 0), dxfattribs={"layer": "MANHOLES"})
    label(f"H={z:.2f}", x + 0.45, y - 0.1, "MANHOLES")
    label(f"MH{i + 1}", x - 0.6, y + 0.45, "POINT-NUMBERS")

msp.add_lwpolyline([(18, 13), (30, 13), (30, 22), (18, 22)], close=True,
                   dxfattribs={"layer": "BUILDINGS"})
label("FFL 14.20", 22.0, 17.5, "BUILDINGS")
msp.add_lwpolyline([(0, 34.5), (15, 33.8), (30, 33.6), (46, 32.4)],
                   dxfattribs={"layer": "KERBS"})
for x, y, level in [(2.5, 20.0, "12.5"), (20.0, 3.0, "13.0"), (44.0, 20.5, "14.5")]:
    label(level, x, y, "CONTOURS")

doc.saveas(sys.argv[1] if len(sys.argv) > 1 else "spot-heights.dxf")
