#!/usr/bin/env python3
"""korvel-cli's data file formats held against independent readers over the
real corpus, each against the text lines of the same run settings:

- csv: Python's csv module reads every file; its rows joined by commas are
  the text lines, its header the exported fields;
- gpkg, geojson: ogr2ogr (gdal-bin) reads every feature back with the
  coordinates and the Number and Code of its text line;
- landxml: Python's XML parser reads every CgPoint back with the Number,
  Code, and "northing easting elevation" of its text line;
- gsi16: totalopenstation's GSI reader reads every point back with the
  number and coordinates of its text line;
- coordinate systems: cs2cs (proj-bin) moves the drawing's coordinates as
  Korvel did, to the decimals written, and moves Korvel's back again.

    readers_check.py KORVEL_CLI CORPUS_DIR EXPECTED_DIR WORK_DIR

Exit status 0 when all agree, 1 with the differences listed, 77 when the
corpus is not there. A reader that is not installed skips its check, saying so.
"""
import csv
import io
import os
import shutil
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

KORVEL, CORPUS, EXPECTED, WORK = sys.argv[1:5]
PROFILES = {
    "defaults": [],
    "every-type": ["-c", os.path.join(EXPECTED, "every-type.krv")],
}
FORMAT_EXTENSIONS = {"text": None, "csv": "csv", "gpkg": "gpkg", "geojson": "geojson",
                     "landxml": "xml", "gsi16": "gsi"}
failures = []


def fail(message):
    failures.append(message)
    if len(failures) <= 40:
        print("FAIL", message)


def drawings(profile):
    """The drawings that convert without an error and give a data file name of their own."""
    rows = list(csv.reader(open(os.path.join(EXPECTED, profile, "results.tsv"),
                                encoding="latin-1"), delimiter="\t"))[1:]
    ok = [row[0] for row in rows if row[1] == "ok"]
    names = {}
    for path in ok:
        key = (os.path.dirname(path), os.path.basename(path).split(".")[0])
        names.setdefault(key, []).append(path)
    return sorted(p for group in names.values() if len(group) == 1 for p in group)


def convert(profile, paths, out, *extra):
    """korvel-cli over `paths` into `out`; the data file of each, by drawing."""
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    files = {}
    for path in paths:
        folder = os.path.join(out, os.path.dirname(path))
        os.makedirs(folder, exist_ok=True)
    # One run per corpus folder: the data files of a folder go together.
    by_folder = {}
    for path in paths:
        by_folder.setdefault(os.path.dirname(path), []).append(path)
    for folder, group in by_folder.items():
        command = [KORVEL, "-q", "-k", "-o", os.path.join(out, folder), *PROFILES[profile],
                   *extra, *(os.path.join(CORPUS, p) for p in group)]
        run = subprocess.run(command, capture_output=True)
        if run.returncode not in (0, 1):
            fail(f"{profile} {' '.join(extra)}: korvel-cli exited {run.returncode}: "
                 f"{run.stderr.decode(errors='replace')[:300]}")
    for path in paths:
        files[path] = os.path.join(out, os.path.dirname(path),
                                   os.path.basename(path).split(".")[0])
    return files


def as_text(line):
    """A line's bytes as the forms that hold Unicode give them back: UTF-8,
    or else Latin-1, as the code pages of older drawings are read."""
    try:
        return line.decode("utf-8")
    except UnicodeDecodeError:
        return line.decode("latin-1")


def text_lines(stem, extension, raw=False):
    path = f"{stem}.{extension}"
    if not os.path.exists(path):
        return None
    lines = open(path, "rb").read().split(b"\r\n")[:-1]
    return [line.decode("latin-1") if raw else as_text(line) for line in lines]


def fields_of(line, count):
    """A text line's fields: the Code, last, may hold commas of its own."""
    return line.split(",", count - 1)


def check_csv(profile, paths, text, extension):
    stems = convert(profile, paths, os.path.join(WORK, profile, "csv"), "--format", "csv")
    checked = 0
    for path in paths:
        lines = text_lines(text[path], extension, raw=True)
        if lines is None:
            continue
        with open(f"{stems[path]}.{'csv'}", newline="", encoding="latin-1") as f:
            rows = list(csv.reader(f))
        if not rows:
            fail(f"csv {profile} {path}: no header")
            continue
        body = [",".join(row) for row in rows[1:]]
        if body != lines:
            fail(f"csv {profile} {path}: the body is not the text lines")
        checked += 1
    print(f"csv {profile}: {checked} drawings, body = text lines")


def run_reader(command, **kwargs):
    return subprocess.run(command, capture_output=True, text=True, **kwargs)


def prefix_free(value, prefix):
    return value[len(prefix):] if value.startswith(prefix) else value


# The prefixes of the every-type profile's fields (Number, X, Y, Z, Code).
PREFIXES = {"defaults": ("", "", "", "", ""), "every-type": ("P", "E=", "N=", "", "C:")}


def check_ogr(profile, paths, text, extension, form):
    if shutil.which("ogr2ogr") is None:
        print(f"{form}: skipped, ogr2ogr (gdal-bin) is not installed")
        return
    stems = convert(profile, paths, os.path.join(WORK, profile, form), "--format", form)
    checked = points = 0
    for path in paths:
        lines = text_lines(text[path], extension)
        if lines is None:
            continue
        file = f"{stems[path]}.{FORMAT_EXTENSIONS[form]}"
        read = run_reader(["ogr2ogr", "-f", "CSV", "/vsistdout/", file, "-lco",
                           "GEOMETRY=AS_XYZ"])
        if read.returncode != 0:
            fail(f"{form} {profile} {path}: ogr2ogr: {read.stderr.strip()[:200]}")
            continue
        rows = list(csv.DictReader(io.StringIO(read.stdout)))
        if len(rows) != len(lines):
            fail(f"{form} {profile} {path}: {len(rows)} features for {len(lines)} lines")
            continue
        for row, line in zip(rows, lines):
            number, x, y, z, code = fields_of(line, 5) if profile == "every-type" else (
                fields_of(line, 5))
            want = [float(prefix_free(v, p)) for v, p in
                    zip((x, y, z), PREFIXES[profile][1:4])]
            got = [float(row[k]) for k in ("X", "Y", "Z")]
            if any(abs(a - b) > 1e-9 * max(1.0, abs(a)) for a, b in zip(want, got)):
                fail(f"{form} {profile} {path}: {got} for the line {line}")
                break
            if row["number"] != number or row["code"] != code:
                fail(f"{form} {profile} {path}: number/code {row['number']!r} {row['code']!r} "
                     f"for the line {line}")
                break
            points += 1
        checked += 1
    print(f"{form} {profile}: {checked} drawings, {points} points read back by ogr2ogr")


def check_landxml(profile, paths, text, extension):
    stems = convert(profile, paths, os.path.join(WORK, profile, "landxml"), "--format",
                    "landxml")
    checked = points = 0
    ns = "{http://www.landxml.org/schema/LandXML-1.2}"
    for path in paths:
        lines = text_lines(text[path], extension)
        if lines is None:
            continue
        root = ElementTree.parse(f"{stems[path]}.xml").getroot()
        cg = root.findall(f"{ns}CgPoints/{ns}CgPoint")
        if len(cg) != len(lines):
            fail(f"landxml {profile} {path}: {len(cg)} CgPoints for {len(lines)} lines")
            continue
        for point, line in zip(cg, lines):
            number, x, y, z, code = fields_of(line, 5)
            p = PREFIXES[profile]
            want = " ".join((prefix_free(y, p[2]), prefix_free(x, p[1]), prefix_free(z, p[3])))
            if (point.text, point.get("name"), point.get("code", "")) != (want, number, code):
                fail(f"landxml {profile} {path}: {point.attrib} {point.text!r} for {line}")
                break
            points += 1
        checked += 1
    print(f"landxml {profile}: {checked} drawings, {points} CgPoints read back")


GSI_READER = """
import sys
from totalopenstation.formats.leica_gsi import FormatParser
for name in sys.argv[1:]:
    parser = FormatParser(open(name, encoding="ascii").read())
    for point in parser.points:
        g = point.geometry
        print(name, point.properties.get("point_name"), repr(g.x), repr(g.y), repr(g.z))
"""


def check_gsi(paths):
    reader = shutil.which("python3")
    probe = run_reader([sys.executable, "-c", "import totalopenstation.formats.leica_gsi"])
    if reader is None or probe.returncode != 0:
        print("gsi16: skipped, totalopenstation is not installed")
        return
    # Number, X, Y, Z: the Code of the defaults holds texts no GSI word can.
    extra = ["--fields", "N,X,Y,Z"]
    text = convert("defaults", paths, os.path.join(WORK, "gsi-text"), *extra)
    stems = convert("defaults", paths, os.path.join(WORK, "gsi"), "--format", "gsi16", *extra)
    files = [f"{stems[p]}.gsi" for p in paths if os.path.exists(f"{stems[p]}.gsi")]
    read = run_reader([sys.executable, "-c", GSI_READER, *files])
    if read.returncode != 0:
        fail(f"gsi16: totalopenstation: {read.stderr.strip()[-300:]}")
        return
    got = {}
    for line in read.stdout.splitlines():
        name, number, x, y, z = line.rsplit(" ", 4)
        got.setdefault(name, []).append((number, float(x), float(y), float(z)))
    checked = points = 0
    for path in paths:
        lines = text_lines(text[path], "txt")
        name = f"{stems[path]}.gsi"
        if lines is None or not os.path.exists(name):
            continue
        read_points = got.get(name, [])
        if len(read_points) != len(lines):
            fail(f"gsi16 {path}: {len(read_points)} points for {len(lines)} lines")
            continue
        for (number, x, y, z), line in zip(read_points, lines):
            want = fields_of(line, 4)
            if number.lstrip("0") != want[0].lstrip("0") or any(
                    abs(a - float(b)) > 1e-9 * max(1.0, abs(a)) for a, b in
                    zip((x, y, z), want[1:])):
                fail(f"gsi16 {path}: {(number, x, y, z)} for the line {line}")
                break
            points += 1
        checked += 1
    print(f"gsi16: {checked} drawings, {points} points read back by totalopenstation")


def cs2cs(source, target, points, decimals):
    """`points` (x, y) moved by cs2cs, printed with `decimals`."""
    read = run_reader(["cs2cs", "-f", f"%.{decimals}f", source, target],
                      input="".join(f"{x} {y}\n" for x, y in points))
    out = []
    for line in read.stdout.splitlines():
        a, b = line.split()[:2]
        out.append((a, b))
    return out


def check_systems(paths):
    if shutil.which("cs2cs") is None:
        print("coordinate systems: skipped, cs2cs (proj-bin) is not installed")
        return
    fine = ["--fields", "X,Y", "--set", "XDecimals=10", "--set", "YDecimals=10"]
    written = ["--fields", "X,Y", "--set", "XDecimals=6", "--set", "YDecimals=6"]
    # Drawings whose coordinates a transverse Mercator takes, up to some thousands of points.
    chosen, original = [], {}
    text = convert("defaults", paths, os.path.join(WORK, "crs-text"), *fine)
    for path in paths:
        lines = text_lines(text[path], "txt") or []
        points = [tuple(float(v) for v in line.split(",")) for line in lines]
        if points and all(abs(x) < 1e6 and abs(y) < 8e6 for x, y in points):
            chosen.append(path)
            original[path] = points
        if sum(len(p) for p in original.values()) > 4000:
            break
    total = exact = 0
    for target, swapped in (("EPSG:25833", False), ("EPSG:3044", True)):
        moved = convert("defaults", chosen, os.path.join(WORK, "crs-" + target[5:]),
                        "--source-crs", "EPSG:25832", "--target-crs", target, *written)
        for path in chosen:
            lines = text_lines(moved[path], "txt")
            if lines is None or len(lines) != len(original[path]):
                fail(f"crs {target} {path}: no data file or another count of lines")
                continue
            theirs = cs2cs("EPSG:25832", target, original[path], 6)
            for line, (a, b), start in zip(lines, theirs, original[path]):
                x, y = line.split(",")
                east, north = (b, a) if swapped else (a, b)
                total += 1
                exact += (x, y) == (east, north)
                if abs(float(x) - float(east)) > 1.0001e-6 or abs(float(y) - float(north)) > \
                        1.0001e-6:
                    fail(f"crs {target} {path}: Korvel {x},{y}, cs2cs {east},{north}")
                    break
            # And back: the drawing's coordinates to the decimals written.
            back = cs2cs(target, "EPSG:25832",
                         [(b, a) if swapped else (a, b) for a, b in
                          (line.split(",") for line in lines)], 6)
            for (a, b), (x0, y0) in zip(back, original[path]):
                if abs(float(a) - x0) > 2e-6 or abs(float(b) - y0) > 2e-6:
                    fail(f"crs {target} {path}: back {a},{b} for {x0},{y0}")
                    break
    print(f"coordinate systems: {len(chosen)} drawings, {total} points moved as cs2cs moves "
          f"them ({exact} to the last digit) and back")


def main():
    if not os.path.isdir(CORPUS) or not os.path.isdir(EXPECTED):
        print("the corpus is not there: skipped")
        return 77
    for profile in PROFILES:
        paths = drawings(profile)
        extension = "csv" if profile == "every-type" else "txt"
        text = convert(profile, paths, os.path.join(WORK, profile, "text"))
        check_csv(profile, paths, text, extension)
        check_landxml(profile, paths, text, extension)
        for form in ("gpkg", "geojson"):
            check_ogr(profile, paths, text, extension, form)
    paths = drawings("defaults")
    check_gsi(paths)
    check_systems(paths)
    if failures:
        print(f"{len(failures)} differences")
        return 1
    print("all agree")
    return 0


if __name__ == "__main__":
    sys.exit(main())
