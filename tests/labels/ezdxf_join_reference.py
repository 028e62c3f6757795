#!/usr/bin/env python3
"""korvel-cli's join of TEXT and MTEXT labels to points (--heights-from-text,
--numbers-from-text) held against the same join computed here from ezdxf's
reading of the drawing: the pairs of --pairs, the Z and Number of every data
line and the counts of the report's notes. The drawings: the guide's
spot-heights example, sites made here, and the corpus drawings with labels
and POINTs or INSERTs.

    ezdxf_join_reference.py KORVEL_CLI CORPUS_DIR WORK_DIR

Exit status 0 when they agree, 1 with the differences listed, 77 when ezdxf
is not installed (the test is then skipped).
"""
import collections
import csv
import fnmatch
import math
import os
import random
import re
import subprocess
import sys

try:
    import ezdxf
except ImportError:
    print("ezdxf (Debian python3-ezdxf) not installed: skipped")
    sys.exit(77)

HERE = os.path.dirname(os.path.abspath(__file__))
EXAMPLE = os.path.join(HERE, "..", "..", "docs", "examples", "spot-heights.dxf")
DECIMALS = 9
REL = 1e-9
PREFIXES, UNITS = ("Z=", "H=", "+"), ("m",)
SETTINGS = [f"{name}={int(name in ('ProcessPoints', 'ProcessBlocks'))}" for name in (
    "ProcessPoints", "ProcessLines", "Process2DPolylines", "Process3DPolylines",
    "Include2DPolylineExtraPoints", "Include3DPolylineExtraPoints", "ProcessSplines",
    "IncludeSplineFitPoints", "ProcessCircles", "ProcessArcs", "ProcessEllipses",
    "ProcessBlocks", "ProcessText", "ProcessMText")] + [
    f"{axis}Decimals={DECIMALS}" for axis in "XYZ"]
NOTE = re.compile(r"\*\*\* Note, (heights|numbers) from labels within \S+: (\d+) points? paired, "
                  r"(\d+) without a label, (\d+) labels? without a point, (\d+) ties? left "
                  r"unpaired(?:, (\d+) texts? reads? as no height)? \*\*\*")
CODE_WITH_VALUE = set("ACcFfHpQSTWX")


class Skip(Exception):
    """A drawing that cannot be held against ezdxf, and why."""


def simple_plain(text):
    """MTEXT text without its formatting codes, read the simple way."""
    out, i = [], 0
    while i < len(text):
        c = text[i]
        if c in "{}":
            i += 1
        elif c == "^" and i + 1 < len(text):
            out.append("^" if text[i + 1] == " " else " ")
            i += 2
        elif c == "\\" and i + 1 < len(text):
            code = text[i + 1]
            if code in "P~":
                out.append(" ")
            elif code in "\\{}":
                out.append(code)
            elif code in CODE_WITH_VALUE:
                end = text.find(";", i)
                i = len(text) if end < 0 else end + 1
                continue
            elif code not in "LlOoKk":
                out.append(text[i:i + 2])
            i += 2
        else:
            out.append(c)
            i += 1
    return "".join(out)


def height(text, need_separator):
    """The height a trimmed label text reads as, or None."""
    low = text.lower()
    prefix = max((p for p in PREFIXES if low.startswith(p.lower())), key=len, default="")
    text = text[len(prefix):].strip(" \t")
    unit = max((u for u in UNITS if text.lower().endswith(u.lower())), key=len, default="")
    text = text[:len(text) - len(unit)].strip(" \t")
    if not re.fullmatch(r"[+-]?(?:[0-9]*[.,])?[0-9]+", text):
        return None
    if need_separator and not re.search("[.,]", text):
        return None
    return float(text.replace(",", "."))


def classify(text, run):
    """("height", value), ("number", text) or (None, None) for a trimmed text."""
    value = height(text, run["numbers"]) if run["heights"] else None
    if value is not None:
        return "height", value
    if run["numbers"] and not re.search("[ \t,]", text):
        return "number", text
    return None, None


def entities_section(doc):
    yield from doc.modelspace()
    active = doc.layouts.active_layout()
    if active.name != "Model":
        yield from active


def read_drawing(path):
    """The points that take labels and the texts: (x, y, text, layer, other reading)."""
    try:
        doc = ezdxf.readfile(path)
    except (ezdxf.DXFError, IOError, ValueError, UnicodeError) as error:
        raise Skip(f"ezdxf cannot read it ({type(error).__name__}: {error})")
    points, texts = [], []
    for e in entities_section(doc):
        kind = e.dxftype()
        if kind in ("POINT", "INSERT"):
            at = e.dxf.location if kind == "POINT" else e.dxf.insert
            points.append((at.x, at.y))
        elif kind == "TEXT":
            texts.append((e.dxf.insert.x, e.dxf.insert.y, e.dxf.text.strip(" \t"),
                          e.dxf.layer, None))
        elif kind == "MTEXT":
            ours = simple_plain(e.text).strip(" \t")
            theirs = e.plain_text(fast=False).replace("\n", " ").strip(" \t")
            texts.append((e.dxf.insert.x, e.dxf.insert.y, theirs, e.dxf.layer,
                          ours if ours != theirs else None))
    return points, texts


def nearby(points, labels, distance):
    """(d, label x, label y, point x, point y, point, label) within distance."""
    grid = collections.defaultdict(list)
    for p, (x, y) in enumerate(points):
        grid[(math.floor(x / distance), math.floor(y / distance))].append(p)
    found = []
    for l, (lx, ly) in enumerate(labels):
        if not (math.isfinite(lx) and math.isfinite(ly)):
            continue
        cx, cy = math.floor(lx / distance), math.floor(ly / distance)
        for gx in (cx - 1, cx, cx + 1):
            for gy in (cy - 1, cy, cy + 1):
                for p in grid.get((gx, gy), ()):
                    d = math.hypot(points[p][0] - lx, points[p][1] - ly)
                    if d <= distance:
                        found.append((d, lx, ly, points[p][0], points[p][1], p, l))
    return sorted(found)


def join(points, labels, distance):
    """Nearest first; a pair with another free candidate within 1 % is a tie."""
    found = nearby(points, labels, distance)
    of_point, of_label = collections.defaultdict(list), collections.defaultdict(list)
    for d, *_, p, l in found:
        of_point[p].append((d, l))
        of_label[l].append((d, p))
    points_taken, labels_taken, pairs, ties = set(), set(), {}, 0
    for d, *_, p, l in found:
        if p in points_taken or l in labels_taken:
            continue
        points_taken.add(p)
        labels_taken.add(l)
        if any(e <= 1.01 * d and m not in labels_taken for e, m in of_point[p]) or \
                any(e <= 1.01 * d and q not in points_taken for e, q in of_label[l]):
            ties += 1
        else:
            pairs[p] = (l, d)
    return pairs, ties


def reference(points, texts, run):
    """The pairs (kind, point, label text, x, y, d) and the notes' counts."""
    usable = [p for p in points if math.isfinite(p[0]) and math.isfinite(p[1])]
    labels = {"height": [], "number": []}
    no_height = 0
    for x, y, text, layer, other in texts:
        if run["layers"] and not any(fnmatch.fnmatchcase(layer.lower(), pattern.lower())
                                     for pattern in run["layers"].split(",")):
            continue
        if other is not None and not (text and other and classify(text, run)[0] is None
                                      and classify(other, run)[0] is None):
            raise Skip(f"MTEXT at {x},{y}: ezdxf reads {text!r}, the simple codes {other!r}")
        if not text:
            continue
        kind, value = classify(text, run)
        no_height += run["heights"] and kind != "height"
        if kind:
            labels[kind].append((x, y, text, value))
    pairs, notes = [], {}
    for kind in ("height", "number"):
        if not run[kind + "s"]:
            continue
        joined, ties = join(usable, [(x, y) for x, y, *_ in labels[kind]], run["distance"])
        for p, (l, d) in joined.items():
            pairs.append((kind, usable[p], labels[kind][l], d))
        notes[kind + "s"] = (len(joined), len(usable) - len(joined),
                             len(labels[kind]) - len(joined), ties) + (
            (no_height,) if kind == "height" else ())
    return pairs, notes


def korvel(cli, path, work, run):
    report, pairs = os.path.join(work, "report.txt"), os.path.join(work, "pairs.csv")
    args = [cli, "-q", "--stdout", "--align-codes", "--missing-z", "--report", report,
            "--fields", "Number,X,Y,Z"]
    for setting in SETTINGS:
        args += ["--set", setting]
    if run:  # else the run without the join
        for kind in ("heights", "numbers"):
            if run[kind]:
                args += [f"--{kind}-from-text", run["within"]]
        if run["layers"]:
            args += ["--label-layers", run["layers"]]
        if run["offset"]:
            args += ["--height-offset", str(run["offset"])]
        args += ["--pairs", pairs]
    done = subprocess.run(args + [path], capture_output=True)
    if done.returncode != 0:
        raise Skip(f"korvel-cli ends with status {done.returncode}: "
                   f"{done.stderr.decode(errors='replace').strip()}")
    lines = [line.rsplit(",", 3) for line in done.stdout.decode("utf-8", "replace").splitlines()]
    if not run:
        return lines
    with open(pairs, encoding="utf-8", errors="replace", newline="") as f:
        rows = list(csv.DictReader(f))
    with open(report, encoding="utf-8", errors="replace") as f:
        notes = {m[1]: tuple(int(n) for n in m.groups()[1:] if n is not None)
                 for m in NOTE.finditer(f.read())}
    return lines, rows, notes


def close(a, b):
    return abs(a - b) <= REL * max(abs(a), abs(b), 1e-300)


def compare(cli, path, work, runs, problems, points, texts):
    """The drawing's runs held against the reference; the pairs compared."""
    base = korvel(cli, path, work, None)
    xy = lambda p: (f"{p[0]:.{DECIMALS}f}", f"{p[1]:.{DECIMALS}f}")
    if collections.Counter(tuple(line[1:3]) for line in base) != \
            collections.Counter(xy(p) for p in points):
        problems.append(f"{path}: korvel-cli writes other POINT and INSERT places than "
                        "ezdxf reads: join not compared")
        return 0
    compared = 0
    for run in runs:
        run["distance"] = float(run["within"])
        name = f"{os.path.basename(path)} ({', '.join(f'{k}={v}' for k, v in run.items() if v)})"
        expected, notes = reference(points, texts, run)
        lines, rows, got_notes = korvel(cli, path, work, run)
        if len(lines) != len(base):
            problems.append(f"{name}: {len(lines)} data lines, {len(base)} without the join")
            continue
        changed = {}
        got = []
        for row in rows:
            n = int(row["line"]) - 1
            line = lines[n]
            if row["point"] != line[0]:
                problems.append(f"{name}: pair of line {n + 1} names point {row['point']}, "
                                f"the line shows {line[0]}")
            changed.setdefault(n, {})[row["kind"]] = row["label"]
            got.append((row["kind"], line[1], line[2], row["label"],
                        float(row["x"]), float(row["y"]), float(row["distance"])))
        for n, (line, plain) in enumerate(zip(lines, base)):
            take = changed.get(n, {})
            want = [take.get("number", plain[0]), *plain[1:3],
                    height(take["height"], run["numbers"]) if "height" in take else None]
            z_ok = line[3] == plain[3] if want[3] is None else abs(
                float(line[3]) - want[3] - run["offset"]) <= 6e-10 * max(1, abs(want[3]))
            if line[:3] != want[:3] or not z_ok:
                problems.append(f"{name}: line {n + 1} is {','.join(line)}, without the join "
                                f"{','.join(plain)}, its labels {take}")
        ours = [(kind, *xy(p), label[2], label[0], label[1], d) for kind, p, label, d in expected]
        compared += len(ours)
        key = lambda pair: pair[:4]
        alone = 0
        for who, these, those in (("the reference", ours, got), ("korvel-cli", got, ours)):
            for pair in sorted((collections.Counter(map(key, these)) -
                                collections.Counter(map(key, those))).elements()):
                alone += 1
                d = next(o[6] for o in these if key(o) == pair)
                problems.append(f"{name}: only {who} pairs {pair[0]} label {pair[3]!r} with "
                                f"point {pair[1]},{pair[2]} at distance {d!r}")
        if not alone:
            for a, b in zip(sorted(ours), sorted(got)):
                if not all(map(close, a[4:], b[4:])):
                    problems.append(f"{name}: {a[0]} label {a[3]!r} at point {a[1]},{a[2]}: "
                                    f"reference x, y, d {a[4:]}, korvel-cli {b[4:]}")
        if notes != got_notes:
            problems.append(f"{name}: report notes {got_notes}, reference {notes} "
                            "(paired, without a label, labels without a point, ties, no height)")
    return compared


def made_site(path, seed, version):
    """Random site: POINTs and INSERTs with height and number labels beside them,
    decoys beyond reach, ties, labels on a NOTES layer and texts that are no labels."""
    rng = random.Random(seed)
    doc = ezdxf.new(version)
    for layer in ("SPOTS", "SPOT-HEIGHTS", "NUMBERS", "NOTES", "MH"):
        doc.layers.add(layer)
    doc.blocks.new("MH").add_circle((0, 0), 0.3)
    msp = doc.modelspace()
    mtext = version != "R12"

    def label(text, x, y, layer, space=msp, **attribs):
        if mtext and rng.random() < 0.3:
            code = rng.choice([r"{\fArial|b1|i0;\H0.3;%s}", r"\C1;%s\P", r"{\LX}\l%s",
                               r"\W0.8;%s", r"{\O\o\K\k%s}"])
            space.add_mtext(code.replace("%s", text),
                            dxfattribs={"insert": (x, y), "layer": layer})
        else:
            space.add_text(text, dxfattribs={"insert": (x, y), "layer": layer, **attribs})

    formats = ["{:.2f}", "{:.3f}", "Z={:.2f}", "h = {:.2f} m", "+{:.2f}M", " {:.1f}m\t",
               "H={:.2f}m", "{:.0f}"]
    number = 1
    for row in range(7):
        for col in range(9):
            x = 200 + col * 6 + rng.uniform(-1.5, 1.5)
            y = 500 + row * 6 + rng.uniform(-1.5, 1.5)
            if rng.random() < 0.3:
                msp.add_blockref("MH", (x, y, 0), dxfattribs={"layer": "MH"})
            else:
                msp.add_point((x, y, 0), dxfattribs={"layer": "SPOTS"})
            z = rng.uniform(-20, 150)
            text = rng.choice(formats).format(z)
            if rng.random() < 0.2:
                text = text.replace(".", ",")
            if rng.random() < 0.9:
                label(text, x + 0.35, y + 0.12, "SPOT-HEIGHTS")
            if rng.random() < 0.9:
                label(rng.choice(["{}", "P{}", "MH-{}"]).format(number), x - 0.6, y - 0.45,
                      "NUMBERS")
            number += 1
            extra = rng.random()
            if extra < 0.1:
                label(f"{z + 1:.2f}", x, y + 1.8, "SPOT-HEIGHTS")  # beyond reach
            elif extra < 0.2:
                label(f"{z - 1:.2f}", x + 0.2, y - 0.2, "NOTES")  # nearer, on NOTES
    # Two points 2 apart and a label halfway, within 1 % of halfway, and nearer one.
    for i, shift in enumerate((1.0, 0.997, 0.9)):
        x, y = 100.0, 400.0 + 10 * i
        msp.add_point((x, y, 0))
        msp.add_point((x + 2, y, 0))
        label(f"7.{i}5", x + shift, y, "SPOT-HEIGHTS")
        label(f"T{i}", x + shift, y + 0.01, "NUMBERS")
    # A point for each odd text, as TEXT and where it can be as MTEXT.
    odd = ["FFL 14.20", "12.5.3", "12.", "A,B", "  ", "-,25", ".5", "Z= -3,5 m", "+ 12.5",
           "+-1.5", "z=+7.25M", "12.5 m m", "\tN7 ", "m", "H=", "1,5"]
    odd = [(text, True) for text in odd] + [(text, False) for text in [
        r"{\H0.2;12\P}.5", r"P\\1", r"\{7\}", r"12.5\~m", r"\A1;\~-4.5\P",
        r"{\f" + "Arial" * 60 + "|b0;81.5}"] if mtext]
    for i, (text, plain) in enumerate(odd):
        msp.add_point((400 + 5 * i, 300, 0))
        if plain:
            msp.add_text(text, dxfattribs={"insert": (400.3 + 5 * i, 300.2), "layer": "NOTES"})
        else:
            msp.add_mtext(text, dxfattribs={"insert": (400.3 + 5 * i, 300.2), "layer": "NOTES"})
    # Two points in one place with one label; a label on a point; two labels in one place.
    for x in (0, 0, 50):
        msp.add_point((x, 0, 0))
    msp.add_text("8.5", dxfattribs={"insert": (0.5, 0.5)})
    msp.add_text("9.5", dxfattribs={"insert": (50, 0)})
    msp.add_point((60, 0, 0))
    msp.add_text("10.5", dxfattribs={"insert": (60.5, 0)})
    msp.add_text("11.5", dxfattribs={"insert": (60.5, 0)})
    # A text in paper space and one seen from below: as written, no OCS.
    msp.add_point((300, 300, 0))
    label("Z=3.5", 300.3, 300.2, "SPOT-HEIGHTS", space=doc.layouts.active_layout())
    msp.add_point((310, 300, 0))
    label("4.75", 310.4, 299.9, "SPOT-HEIGHTS", extrusion=(0, 0, -1))
    doc.saveas(path)
    return path


def join_run(within, heights=1, numbers=1, layers="", offset=0):
    return dict(within=within, heights=heights, numbers=numbers, layers=layers, offset=offset)


def drawings(corpus, work):
    """(path, its runs), the runs None for a corpus drawing."""
    made = os.path.join(work, "made")
    os.makedirs(made, exist_ok=True)
    every = lambda: [join_run("1.2"), join_run("1.2", numbers=0, offset=0.25),
                     join_run("1.2", heights=0), join_run("1.2", layers="spot*,NUM[A-Z]ERS,m?")]
    yield EXAMPLE, [join_run("1"), join_run("1", numbers=0)]
    yield made_site(os.path.join(made, "site-r2010.dxf"), 7, "R2010"), every()
    yield made_site(os.path.join(made, "site-r12.dxf"), 11, "R12"), every()
    if not os.path.isdir(corpus):
        print(f"corpus not found at {corpus}: skipped")
        return
    for root, _, files in sorted(os.walk(corpus)):
        for name in sorted(files):
            path = os.path.join(root, name)
            if name.lower().endswith(".dxf"):
                data = open(path, "rb").read()
                if b"TEXT" in data and (b"POINT" in data or b"INSERT" in data):
                    yield path, None


def corpus_distance(points, texts):
    """A reach about the median distance from a label to its nearest point."""
    usable = [p for p in points if math.isfinite(p[0]) and math.isfinite(p[1])] or [(0, 0)]
    near = sorted(min(math.hypot(px - x, py - y) for px, py in usable)
                  for x, y, *_ in texts[::max(1, len(texts) // 200)])
    positive = [d for d in near if d > 0]
    d = near[len(near) // 2] or (positive[0] if positive else 1.0)
    return f"{d:.6g}"


def main():
    cli, corpus, work = sys.argv[1:4]
    os.makedirs(work, exist_ok=True)
    problems, checked, pairs = [], 0, 0
    for path, runs in drawings(corpus, work):
        try:
            points, texts = read_drawing(path)
            if runs is None:
                if not points or not texts:
                    continue
                reach = corpus_distance(points, texts)
                runs = [join_run(reach), join_run(reach, numbers=0)]
            pairs += compare(cli, path, work, runs, problems, points, texts)
            checked += 1
        except Skip as why:
            print(f"{path}: passed over: {why}")
    for problem in problems:
        print("DIFFERENT:", problem)
    print(f"label join against ezdxf: {checked} drawings, {pairs} pairs compared, "
          f"{len(problems)} differences")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
