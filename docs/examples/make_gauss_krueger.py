#!/usr/bin/python3
"""Writes gauss-krueger.dxf, the small drawing of the user guide that shows
coordinates moved between two systems: four boundary stones and a height
mark in Karlsruhe, drawn as POINTs with their heights as Z, in the German
DHDN / 3-degree Gauss-Kruger zone 3 (EPSG:31467): eastings 3456..., the zone
number 3 in front, and northings 5429... / 5430...

    /usr/bin/python3 docs/examples/make_gauss_krueger.py docs/examples/gauss-krueger.dxf
    korvel-cli --source-crs EPSG:31467 --target-crs EPSG:25832 docs/examples/gauss-krueger.dxf

Needs ezdxf (Debian's python3-ezdxf). Every run gives the same entities; only
the GUIDs and time stamps ezdxf writes in the header differ.
"""
import sys

import ezdxf

doc = ezdxf.new("R2000", setup=False)
doc.header["$INSUNITS"] = 6  # metres
for name, colour in [("BOUNDARY-STONES", 1), ("HEIGHT-MARKS", 3)]:
    doc.layers.add(name, color=colour)
msp = doc.modelspace()

# Easting, northing and height in metres, as a surveyor's list gives them.
for x, y, z in [(3456012.345, 5429987.210, 115.432),
                (3456047.918, 5430003.775, 115.608),
                (3456081.504, 5429969.062, 115.297),
                (3456043.227, 5429941.839, 114.985)]:
    msp.add_point((x, y, z), dxfattribs={"layer": "BOUNDARY-STONES"})
msp.add_point((3456030.000, 5429970.000, 115.120), dxfattribs={"layer": "HEIGHT-MARKS"})

doc.saveas(sys.argv[1] if len(sys.argv) > 1 else "gauss-krueger.dxf")
