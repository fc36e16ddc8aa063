#!/usr/bin/env python3
"""IGC files written by orvald-cli, read back by two other programs.

Raw files are made from every flight in the flights folder (through
orvald-sim's memory builder) and from the demo flight; orvald-cli writes IGC
files from them (the whole log, and its longest segment alone), and each file
is read by gpsbabel (`gpsbabel -t -i igc -f FILE -o unicsv -F -`) and by the
npm package igc-parser in lenient mode. Both must find the fixes of the
file's B records: the same number, the same times, coordinates within 0.001
minute and the same altitudes. The B records themselves are checked against
the decode they came from: as many as the segments' Points, from the first
segment's start to the last one's finish.

The KML and GPX files written beside them (--also-kml --also-gpx) are read by
gpsbabel too: the same number of fixes, the same UTC times, coordinates
within 1e-5 degree and the same altitudes as the IGC file's B records. And
every IGC file is read back by orvald-cli itself (IGC import) and saved
again: its fix records (B and E) must come out unchanged.

Usage: igc_interop.py --cli PATH --sim PATH --flights DIR --node-modules DIR
                      [--demo FILE] [--extra DIR] [--keep DIR]
"""
import argparse
import csv
import datetime
import glob
import io
import json
import os
import shutil
import subprocess
import sys
import tempfile

MINUTE_TOLERANCE = 0.001
DEGREE_TOLERANCE = 1e-5
PARSE_SCRIPT = r"""
const parser = require('igc-parser');
const text = require('fs').readFileSync(process.argv[1], 'utf8');
const flight = parser.parse(text, {lenient: true});
process.stdout.write(JSON.stringify({
  errors: (flight.errors || []).map(String),
  fixes: flight.fixes.map(f => [f.timestamp, f.latitude, f.longitude, f.gpsAltitude, f.pressureAltitude]),
}));
"""


class Fix:
    def __init__(self, when, latitude, longitude, gnss, pressure):
        self.when, self.latitude, self.longitude, self.gnss, self.pressure = when, latitude, longitude, gnss, pressure


def read_b_records(path):
    """The file's own fixes: date from HFDTE, a day added whenever the time of
    day goes backwards, coordinates in degrees."""
    day = None
    fixes = []
    previous = None
    for raw in open(path, "rb").read().decode("ascii").split("\r\n"):
        if raw.startswith("HFDTE"):
            digits = raw[5:].split(":")[-1][:6]
            day = datetime.date(2000 + int(digits[4:6]), int(digits[2:4]), int(digits[0:2]))
        if not raw.startswith("B"):
            continue
        seconds = int(raw[1:3]) * 3600 + int(raw[3:5]) * 60 + int(raw[5:7])
        if previous is not None and seconds < previous:
            day += datetime.timedelta(days=1)
        previous = seconds
        when = datetime.datetime(day.year, day.month, day.day, tzinfo=datetime.timezone.utc) + \
            datetime.timedelta(seconds=seconds)
        latitude = int(raw[7:9]) + int(raw[9:14]) / 60000.0
        if raw[14] == "S":
            latitude = -latitude
        longitude = int(raw[15:18]) + int(raw[18:23]) / 60000.0
        if raw[23] == "W":
            longitude = -longitude
        fixes.append(Fix(when, latitude, longitude, int(raw[30:35]), int(raw[25:30])))
    return fixes


def fix_records(path):
    return [line for line in open(path, "rb").read().decode("ascii").split("\r\n") if line[:1] in ("B", "E")]


def read_with_gpsbabel(path, kind="igc"):
    """gpsbabel's tracks: from an IGC file it makes one per altitude kind
    (pressure, GNSS), each holding every fix, listed one after the other."""
    out = subprocess.run(["gpsbabel", "-t", "-i", kind, "-f", path, "-o", "unicsv", "-F", "-"],
                         capture_output=True, text=True, check=True).stdout
    rows = list(csv.DictReader(io.StringIO(out)))
    fixes = []
    for row in rows:
        when = datetime.datetime.strptime(row["Date"] + " " + row["Time"], "%Y/%m/%d %H:%M:%S")
        fixes.append(Fix(when.replace(tzinfo=datetime.timezone.utc), float(row["Latitude"]),
                         float(row["Longitude"]), float(row["Altitude"]), None))
    return fixes


def read_with_igc_parser(path, node_modules):
    environment = dict(os.environ, NODE_PATH=node_modules)
    out = subprocess.run(["node", "-e", PARSE_SCRIPT, path], capture_output=True, text=True, check=True,
                         env=environment).stdout
    parsed = json.loads(out)
    fixes = [Fix(datetime.datetime.fromtimestamp(f[0] / 1000, datetime.timezone.utc), f[1], f[2], f[3], f[4])
             for f in parsed["fixes"]]
    return fixes, parsed["errors"]


def compare(reader, ours, theirs, altitude_of, problems, tolerance=MINUTE_TOLERANCE / 60.0 + 1e-9):
    """Counts the fixes compared and adds a line per mismatch (at most 5)."""
    if len(theirs) != len(ours):
        problems.append("%s: %d fixes, the file has %d" % (reader, len(theirs), len(ours)))
        return 0
    found = 0
    for index, (a, b) in enumerate(zip(ours, theirs)):
        wrong = []
        if a.when != b.when:
            wrong.append("time %s, file %s" % (b.when, a.when))
        if abs(a.latitude - b.latitude) > tolerance or abs(a.longitude - b.longitude) > tolerance:
            wrong.append("position %.6f %.6f, file %.6f %.6f" % (b.latitude, b.longitude, a.latitude, a.longitude))
        if altitude_of(b) != altitude_of(a):
            wrong.append("altitude %s, file %s" % (altitude_of(b), altitude_of(a)))
        if wrong:
            found += 1
            if found <= 5:
                problems.append("%s: fix %d: %s" % (reader, index + 1, "; ".join(wrong)))
    return len(ours)


def decode_rows(cli, raw):
    out = subprocess.run([cli, "decode", raw, "--tz-offset", "0"], capture_output=True, text=True, check=True).stdout
    lines = out.splitlines()
    heading = lines.index("Sgm\tStart\tFinish\tBlind\tRecorded\tPoints\tEvents")
    return [line.split("\t") for line in lines[heading + 1:]]


def grid_time(text):
    return datetime.datetime.strptime(" ".join(text.split()), "%Y/%m/%d %H:%M:%S").replace(
        tzinfo=datetime.timezone.utc)


def write_igc(cli, raw, first, last, folder, name_hint):
    """The IGC file's path, and those of the KML and GPX files beside it."""
    out = subprocess.run([cli, "igc", raw, "--segments", "%d-%d" % (first, last), "--dir", folder, "--tz-offset",
                          "0", "--compet", "007", "--pilot", "Interop Check", "--task", name_hint, "--also-kml",
                          "--also-gpx"], capture_output=True, text=True, check=True).stdout.split()
    return [name if os.path.isabs(name) else os.path.join(folder, os.path.basename(name)) for name in out]


def check_import(cli, path, work, problems):
    """The IGC file opened by orvald-cli and saved whole again: the same fix records."""
    rows = decode_rows(cli, path)
    if not rows:
        problems.append("IGC import: no segments")
        return
    folder = tempfile.mkdtemp(dir=work)
    again = write_igc(cli, path, 1, len(rows), folder, "again")[0]
    before, after = fix_records(path), fix_records(again)
    if before != after:
        first = next((i for i, (a, b) in enumerate(zip(before, after)) if a != b), min(len(before), len(after)))
        problems.append("IGC import: %d fix records saved again as %d, first difference at record %d"
                        % (len(before), len(after), first + 1))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--cli", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--flights", required=True)
    parser.add_argument("--node-modules", required=True)
    parser.add_argument("--demo")
    parser.add_argument("--extra", help="a folder whose .igc files are checked as well (B records only)")
    parser.add_argument("--keep", help="copy the IGC files here")
    args = parser.parse_args()

    if not os.path.isdir(os.path.join(args.node_modules, "igc-parser")):
        print("igc-parser is not installed in %s" % args.node_modules)
        return 1
    work = tempfile.mkdtemp(prefix="orvald-interop-")
    problems_total = 0
    files = fixes_compared = 0
    try:
        raws = []
        for flight in sorted(glob.glob(os.path.join(args.flights, "*.igc"))):
            raw = os.path.join(work, os.path.basename(flight) + ".G00")
            subprocess.run([args.sim, "--igc", flight, "--expect-g00", raw, "--no-serve"], check=True,
                           stderr=subprocess.DEVNULL)
            raws.append(raw)
        if args.demo:
            raws.append(args.demo)

        checks = []  # (IGC path, expected count or None, expected start, expected finish, KML and GPX paths)
        for raw in raws:
            rows = decode_rows(args.cli, raw)
            if not rows:
                print("FAILED %s: no segments" % raw)
                problems_total += 1
                continue
            folder = os.path.join(work, os.path.basename(raw) + ".out")
            os.makedirs(folder)
            longest = max(range(len(rows)), key=lambda i: int(rows[i][5]))
            for first, last in ((1, len(rows)), (longest + 1, longest + 1)):
                path, *companions = write_igc(args.cli, raw, first, last, folder, os.path.basename(raw)[:8])
                selected = rows[first - 1:last]
                checks.append((path, sum(int(r[5]) for r in selected), grid_time(selected[0][1]),
                               grid_time(selected[-1][2]), companions))
        if args.extra:
            checks += [(path, None, None, None, []) for path in sorted(glob.glob(os.path.join(args.extra, "*.igc")))]

        for path, points, start, finish, companions in checks:
            problems = []
            ours = read_b_records(path)
            if points is not None:
                if len(ours) != points:
                    problems.append("%d B records for %d points of the decode" % (len(ours), points))
                elif ours and (ours[0].when != start or ours[-1].when != finish):
                    problems.append("B records run %s to %s, the segments %s to %s"
                                    % (ours[0].when, ours[-1].when, start, finish))
            babel = read_with_gpsbabel(path)
            tracks = len(babel) // len(ours) if ours and len(babel) % len(ours) == 0 else 0
            if tracks == 0:
                problems.append("gpsbabel: %d fixes, not a whole number of tracks of %d" % (len(babel), len(ours)))
            for track in range(tracks):
                fixes_compared += compare("gpsbabel track %d" % (track + 1), ours,
                                          babel[track * len(ours):(track + 1) * len(ours)],
                                          lambda f: float(f.gnss), problems)
            parsed, errors = read_with_igc_parser(path, args.node_modules)
            if errors:
                problems.append("igc-parser: " + "; ".join(errors[:3]))
            fixes_compared += compare("igc-parser GNSS", ours, parsed, lambda f: f.gnss, problems)
            fixes_compared += compare("igc-parser pressure", ours, parsed, lambda f: f.pressure, problems)
            if points is not None and len(companions) != 2:
                problems.append("orvald-cli igc --also-kml --also-gpx wrote %d files beside it" % len(companions))
            for companion in companions:
                kind = os.path.splitext(companion)[1][1:]
                fixes_compared += compare("gpsbabel " + kind, ours, read_with_gpsbabel(companion, kind),
                                          lambda f: float(f.gnss), problems, DEGREE_TOLERANCE)
            if points is not None:
                check_import(args.cli, path, work, problems)
            files += 1
            if args.keep:
                os.makedirs(args.keep, exist_ok=True)
                shutil.copy(path, os.path.join(args.keep, "%03d-%s" % (files, os.path.basename(path))))
            status = "ok" if not problems else "FAILED"
            print("%-6s %s: %d fixes" % (status, os.path.relpath(path, work) if path.startswith(work) else path,
                                         len(ours)))
            for problem in problems:
                print("    " + problem)
            problems_total += len(problems)
    finally:
        shutil.rmtree(work)
    print("interop: %d files, %d fixes compared, %d mismatches" % (files, fixes_compared, problems_total))
    return 0 if problems_total == 0 and files > 0 else 1


if __name__ == "__main__":
    sys.exit(main())
