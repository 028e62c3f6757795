#!/usr/bin/env python3
"""korvel-cli's reading of blocks held against ezdxf's reading of the same
drawings: the points of the entities inside inserted blocks in world
coordinates (--block-contents), and the values of block attributes
(--attribute-text), for every corpus drawing with INSERTs and for drawings
made here for nesting, non-uniform scale, rotation, MINSERT and extrusion.

    ezdxf_reference.py KORVEL_CLI CORPUS_DIR WORK_DIR

Exit status 0 when they agree, 1 with the differences listed, 77 when ezdxf
is not installed (the test is then skipped).
"""
import collections
import math
import os
import subprocess
import sys

try:
    import ezdxf
    from ezdxf.math import Vec3
except ImportError:
    print("ezdxf (Debian python3-ezdxf) not installed: skipped")
    sys.exit(77)

TOLERANCE = 2e-6  # the six decimals written, and rounding of their last one

EVERY_TYPE_BUT_BLOCKS = [
    "ProcessPoints=1", "ProcessLines=1", "Process2DPolylines=1", "Process3DPolylines=1",
    "Include2DPolylineExtraPoints=1", "Include3DPolylineExtraPoints=1", "ProcessSplines=1",
    "IncludeSplineFitPoints=1", "ProcessCircles=1", "ProcessArcs=1", "ProcessEllipses=1",
    "ProcessBlocks=0", "ProcessText=1", "ProcessMText=1",
    "XDecimals=6", "YDecimals=6", "ZDecimals=6",
]


def korvel(cli, drawing, *extra):
    args = [cli, "--stdout", "-q", "--align-codes", "--missing-z", *extra, drawing]
    done = subprocess.run(args, capture_output=True)
    if done.returncode != 0:
        raise RuntimeError(f"{' '.join(args)}: {done.stderr.decode(errors='replace')}")
    return done.stdout.decode("latin-1").splitlines()


class DrawingItself(Exception):
    """A conversion error outside blocks: nothing to hold against ezdxf."""


def korvel_block_points(cli, drawing):
    """The points --block-contents adds: the run with it less the run without."""
    sets = [arg for setting in EVERY_TYPE_BUT_BLOCKS for arg in ("--set", setting)]
    try:
        plain = collections.Counter(korvel(cli, drawing, "--fields", "X,Y,Z", *sets))
    except RuntimeError as error:
        raise DrawingItself(error) from None
    blocks = collections.Counter(
        korvel(cli, drawing, "--fields", "X,Y,Z", *sets, "--block-contents"))
    added = blocks - plain
    assert not plain - blocks, "--block-contents took points away"
    return [tuple(float(v) for v in line.split(",")) for line in added.elements()]


def entity_points(e):
    """The points korvel writes for an entity, in world coordinates."""
    kind = e.dxftype()
    if kind == "POINT":
        return [e.dxf.location]
    if kind == "LINE":
        return [e.dxf.start, e.dxf.end]
    if kind in ("CIRCLE", "ARC"):
        return [e.ocs().to_wcs(e.dxf.center)]
    if kind == "ELLIPSE":
        return [e.dxf.center]
    if kind == "LWPOLYLINE":
        ocs, z = e.ocs(), e.dxf.elevation
        return [ocs.to_wcs(Vec3(x, y, z)) for x, y in e.get_points("xy")]
    if kind == "POLYLINE":
        if e.is_3d_polyline:
            return [v.dxf.location for v in e.vertices]
        ocs = e.ocs()
        return [ocs.to_wcs(v.dxf.location) for v in e.vertices]
    if kind == "SPLINE":
        return list(e.control_points) + list(e.fit_points)
    if kind == "TEXT":
        return [e.ocs().to_wcs(e.dxf.insert)]
    if kind == "MTEXT":
        return [e.dxf.insert]
    return []


def ezdxf_block_points(insert):
    points = []
    cells = insert.multi_insert() if insert.mcount > 1 else [insert]
    for cell in cells:
        for e in cell.virtual_entities():
            if e.dxftype() == "INSERT":
                points += ezdxf_block_points(e)
            else:
                points += [tuple(p) for p in entity_points(e)]
    return points


def entities_section(doc):
    """The entities the ENTITIES section holds: model space and the active layout."""
    yield from doc.modelspace()
    active = doc.layouts.active_layout()
    if active.name != "Model":
        yield from active


def unmatched(ours, theirs):
    """The points of each list that no point of the other is within TOLERANCE of."""
    cell = 1e-3
    grid = collections.defaultdict(list)
    for i, p in enumerate(theirs):
        grid[tuple(math.floor(c / cell) for c in p)].append(i)
    used = set()
    left = []
    for p in ours:
        key = tuple(math.floor(c / cell) for c in p)
        found = None
        for dx in (-1, 0, 1):
            for dy in (-1, 0, 1):
                for dz in (-1, 0, 1):
                    for i in grid.get((key[0] + dx, key[1] + dy, key[2] + dz), ()):
                        if i not in used and all(
                                abs(a - b) <= TOLERANCE * max(1.0, abs(b))
                                for a, b in zip(p, theirs[i])):
                            found = i
                            break
                    if found is not None:
                        break
                if found is not None:
                    break
        if found is None:
            left.append(p)
        else:
            used.add(found)
    return left, [theirs[i] for i in range(len(theirs)) if i not in used]


def compare_points(cli, path, problems):
    doc = ezdxf.readfile(path)
    inserts = [e for e in entities_section(doc) if e.dxftype() == "INSERT"]
    if not inserts:
        return None
    theirs = []
    for insert in inserts:
        theirs += ezdxf_block_points(insert)
    ours = korvel_block_points(cli, path)
    only_ours, only_theirs = unmatched(ours, theirs)
    if only_ours or only_theirs:
        problems.append(f"{path}: {len(only_ours)} of korvel's {len(ours)} block points and "
                        f"{len(only_theirs)} of ezdxf's {len(theirs)} have no match; "
                        f"korvel {only_ours[:3]}, ezdxf {only_theirs[:3]}")
    return len(ours)


def compare_attributes(cli, path, problems):
    doc = ezdxf.readfile(path)
    inserts = [e for e in entities_section(doc) if e.dxftype() == "INSERT"]
    tags = sorted({a.dxf.tag for i in inserts for a in i.attribs} |
                  {a.dxf.tag for i in inserts if i.block() is not None
                   for a in i.block().get_const_attdefs()})
    checked = 0
    for tag in tags:
        # Drawings before R13 may have no handles: each INSERT goes by its place.
        expected = collections.Counter(
            (f"{i.dxf.insert.x:.4f}", f"{i.dxf.insert.y:.4f}",
             (i.get_attrib_text(tag, default="", search_const=True) or "").strip(" \t"))
            for i in inserts)
        lines = korvel(cli, path, "--fields", "X,Y,Code", "--code", "Text",
                       "--set", "XDecimals=4", "--set", "YDecimals=4",
                       "--set", "ProcessBlocks=1",
                       "--set", "ProcessPoints=0", "--set", "ProcessLines=0",
                       "--set", "Process2DPolylines=0", "--set", "Process3DPolylines=0",
                       "--attribute-text", tag)
        got = collections.Counter(tuple(line.split(",", 2)) for line in lines)
        checked += sum(expected.values())
        if got != expected:
            problems.append(f"{path}: attribute {tag}: korvel alone {list((got - expected).elements())[:3]}, "
                            f"ezdxf alone {list((expected - got).elements())[:3]}")
    return checked


def made_drawings(folder):
    """Drawings whose blocks nest, scale unevenly, turn, repeat and lean."""
    os.makedirs(folder, exist_ok=True)
    made = []

    doc = ezdxf.new("R2010")
    inner = doc.blocks.new("INNER", base_point=(1, 2, 0))
    inner.add_lwpolyline([(0, 0), (4, 0), (4, 3)], dxfattribs={"elevation": 1.5})
    inner.add_text("T", dxfattribs={"insert": (1, 1, 0)})
    inner.add_arc((2, 2), 1, 0, 90)
    inner.add_spline(fit_points=[(0, 0, 0), (1, 2, 0), (3, 1, 1)])
    inner.add_mtext("M", dxfattribs={"insert": (5, 5, 2)})
    outer = doc.blocks.new("OUTER", base_point=(-3, 1, 0))
    outer.add_line((0, 0, 0), (10, 5, 2))
    outer.add_circle((3, 3), 2)
    outer.add_point((7, 1, 4))
    outer.add_blockref("INNER", (5, 5, 1), dxfattribs={"rotation": 30, "xscale": 2,
                                                        "yscale": 2, "zscale": 2})
    outer.add_ellipse((1, 1, 0), major_axis=(3, 0, 0), ratio=0.5)
    msp = doc.modelspace()
    msp.add_blockref("OUTER", (100, 200, 10), dxfattribs={"rotation": 45, "xscale": 1.5,
                                                          "yscale": 1.5, "zscale": 1.5})
    msp.add_blockref("OUTER", (-50, 20, 0), dxfattribs={"extrusion": (0, 0, -1), "rotation": 10})
    made.append(os.path.join(folder, "nested.dxf"))
    doc.saveas(made[-1])

    doc = ezdxf.new("R2010")
    block = doc.blocks.new("SHAPE", base_point=(0.5, 0.5, 0))
    block.add_line((0, 0, 0), (1, 0, 0))
    block.add_point((1, 1, 1))
    block.add_polyline3d([(0, 0, 0), (1, 2, 3), (2, 0, 1)])
    msp = doc.modelspace()
    msp.add_blockref("SHAPE", (10, 10, 0), dxfattribs={"xscale": 3, "yscale": -0.5,
                                                        "zscale": 2, "rotation": 120})
    minsert = msp.add_blockref("SHAPE", (0, 0, 0), dxfattribs={"rotation": 45})
    minsert.grid(size=(2, 3), spacing=(5, 7))
    msp.add_blockref("SHAPE", (3, 4, 5), dxfattribs={"extrusion": (1, 1, 1), "rotation": 15})
    made.append(os.path.join(folder, "scaled_minsert_extrusion.dxf"))
    doc.saveas(made[-1])

    doc = ezdxf.new("R2010")
    block = doc.blocks.new("SURVEY")
    block.add_circle((0, 0), 0.25)
    block.add_attdef("PNT", (0.3, 0.3), dxfattribs={"flags": 0})
    block.add_attdef("ELEV", (0.3, -0.3), dxfattribs={"flags": 0})
    block.add_attdef("KIND", (0, 0), text="STATION", dxfattribs={"flags": 2})
    msp = doc.modelspace()
    for n, (x, y, z) in enumerate([(10, 20, 0), (15, 21, 0), (12, 28, 0)], start=101):
        ref = msp.add_blockref("SURVEY", (x, y, z))
        ref.add_auto_attribs({"PNT": str(n), "ELEV": f" {z + 100.25 * n:.3f} "})
    made.append(os.path.join(folder, "attributes.dxf"))
    doc.saveas(made[-1])
    return made


def main():
    cli, corpus, work = sys.argv[1:4]
    problems = []
    drawings = []
    if os.path.isdir(corpus):
        for root, _, files in os.walk(corpus):
            for name in files:
                path = os.path.join(root, name)
                if name.lower().endswith(".dxf") and b"\nINSERT" in open(path, "rb").read():
                    drawings.append(path)
    else:
        print(f"corpus not found at {corpus}: only the made drawings")
    drawings = sorted(drawings) + made_drawings(work)
    for path in drawings:
        try:
            points = compare_points(cli, path, problems)
            values = compare_attributes(cli, path, problems)
        except DrawingItself as error:
            print(f"{path}: korvel-cli ends with an error outside the blocks ({error}): "
                  "passed over")
            continue
        except (ezdxf.DXFError, IOError, ArithmeticError) as error:
            print(f"{path}: ezdxf cannot read or place it ({type(error).__name__}: {error}): "
                  "passed over")
            continue
        print(f"{path}: {points} block points, {values} attribute values")
    for problem in problems:
        print("DIFFERENT:", problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
