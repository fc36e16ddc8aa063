#!/usr/bin/env python3
"""Downloads from orvald-sim under seeded fault mixes with the real orvald-cli.

Every run must end within its time bound with exit status 0 or 1 and no
sanitizer report, and leave either the exact raw file a fault-free download
writes, or (with exit status 1, a message, and a name that says it is
incomplete) a prefix of it, possibly without the payloads of whole blocks
whose headers could not be read. A file with one wrong byte fails the soak.

Some runs swap the logger mid-download (the cable pulled and another logger
plugged into the same port, with or without a hang-up), some start with the
logger left at a download rate, some answer the identity late: a file is
judged against the memory of the logger its name says, and a file without
a serial against both.

Usage: download_soak.py --cli PATH --sim PATH [--runs N] [--seed S]
                        [--work DIR] [--keep] [--verbose]
"""
import argparse
import os
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import time

FAULT_KINDS = ["drop", "bad-checksum", "garbage", "oversize", "split", "stall", "short",
               "truncate", "trailing", "empty", "foreign", "wrong-ends", "no-identity", "no-rate-ack"]
SANITIZER_MARKS = ["AddressSanitizer", "LeakSanitizer", "UndefinedBehaviorSanitizer", "runtime error:"]
TIME_BOUND_S = 120
HEADER_SIZE = 32
VERSION_BYTES = slice(16, 18)  # firmware byte and type suffix, from the version reply
SERIAL_BYTES = slice(18, 29)   # serial text, from the identify reply
FIRST_SERIAL = "00000012345"   # the simulator's default
SWAPPED_SERIAL = "00000067890"


def header_matches(got, expected):
    """The raw file header, allowing for identity replies that never came: a
    logger whose version or serial could not be read is downloaded with those
    header bytes zero. Returns (matches, which identity parts were blank)."""
    blank = []
    for part, name in ((VERSION_BYTES, "version"), (SERIAL_BYTES, "serial")):
        if got[part] != expected[part]:
            if any(got[part]):
                return False, blank
            blank.append(name)
    rest_got = got[:16] + got[29:HEADER_SIZE]
    rest_expected = expected[:16] + expected[29:HEADER_SIZE]
    return rest_got == rest_expected, blank


def block_payloads(memory):
    """The used blocks' payloads in download order, read from a memory dump
    on their own (block headers: in-use nibble, sequence, fill mask)."""
    used = []
    for block in range(32):
        header = memory[block * 65536:block * 65536 + 32]
        mask = header[16] | header[17] << 8
        if header[0] >> 4 != 1 or mask == 0xFFFF:
            continue
        sequence = int.from_bytes(header[8:12], "little", signed=True)
        pages = 0
        while pages < 16 and not mask >> pages & 1:
            pages += 1
        fill = pages * 4096 if 0 < pages < 16 and mask >> pages == (0xFFFF >> pages) else 65536
        used.append((block, sequence, fill))
    start, lowest = None, 0x0FFFFFFF
    for block, sequence, _ in used:
        if sequence < lowest:
            start, lowest = block, sequence
    if start is None:
        return []
    fills = {block: fill for block, _, fill in used}
    order = [(start + i) % 32 for i in range(32)]
    return [memory[b * 65536 + 32:b * 65536 + fills[b]] for b in order if b in fills]


def leaves_blocks_out(got, payloads):
    """Whether the file past its header is the payloads in order with some
    whole ones left out, the last one taken possibly cut short."""
    at = HEADER_SIZE
    for payload in payloads:
        if at == len(got):
            return True
        if got[at:at + len(payload)] == payload:
            at += len(payload)
        elif len(got) - at < len(payload) and payload.startswith(got[at:]):
            return True
    return at == len(got)


def first_difference(got, expected):
    """Where `got` stops being a prefix of `expected`, or None."""
    if len(got) < HEADER_SIZE:
        got_header, expected_header = got, expected[:len(got)]
        if got_header != expected_header and len(got) <= 16:
            return 0
    else:
        matches, _ = header_matches(got, expected)
        if not matches:
            return 0
    for i in range(HEADER_SIZE, min(len(got), len(expected))):
        if got[i] != expected[i]:
            return i
    return len(expected) if len(got) > len(expected) else None


def write_flight(path, fixes, rng):
    """A short IGC flight for the simulator: B records one second apart,
    with a long pause in the middle so the decode has two segments."""
    lines = ["AXXX soak flight", "HFDTE140726"]
    seconds = 9 * 3600
    lat, lon, alt = 5130000, 1200000, 300  # 1/1000 minute
    for i in range(fixes):
        seconds += 600 if i == fixes // 2 else 1
        lat += rng.randint(-20, 20)
        lon += rng.randint(-20, 20)
        alt = max(0, alt + rng.randint(-3, 3))
        h, m, s = seconds // 3600, seconds // 60 % 60, seconds % 60
        lines.append("B%02d%02d%02d%02d%05dN%03d%05dEA%05d%05d" % (
            h, m, s, lat // 60000, lat % 60000, lon // 60000, lon % 60000, alt, alt))
    with open(path, "w") as f:
        f.write("\r\n".join(lines) + "\r\n")


def choose_mix(rng, flights):
    """Simulator options for one run: memory, layout and faults."""
    memory = rng.choices(["tiny", "small", "medium", "builtin"], weights=[45, 35, 12, 8])[0]
    options = [] if memory == "builtin" else ["--igc", flights[memory]]
    options += ["--start-block", str(rng.randrange(32))]
    # Few fixes per block spread a flight over many blocks; the bigger flights
    # get fuller blocks so that a run stays a few seconds long.
    spreads = {"tiny": [3, 7, 20, 400], "small": [7, 20, 64, 400], "medium": [64, 400, 3639], "builtin": [64, 400]}
    if memory != "builtin" or rng.random() < 0.5:
        options += ["--records-per-block", str(rng.choice(spreads[memory]))]
    if rng.random() < 0.3:
        options += ["--first-sequence", str(rng.randrange(1, 100000))]

    faults = []
    for kind in rng.sample(FAULT_KINDS, rng.randint(1, 3)):
        style = rng.random()
        if kind in ("no-identity", "no-rate-ack") and style < 0.4:
            when = "always"
        elif style < 0.65:
            # Faults that cost a wait are kept rarer on the bigger memories,
            # so that a run stays within seconds.
            costly = kind in ("drop", "stall", "bad-checksum", "garbage", "truncate", "split") and \
                memory in ("medium", "builtin")
            when = str(rng.choice([0.01, 0.02, 0.05] if costly else [0.02, 0.05, 0.1, 0.2, 0.35]))
        else:
            when = "@" + ",".join(str(n) for n in sorted(rng.sample(range(1, 60), rng.randint(1, 3))))
        faults.append("%s=%s" % (kind, when))
        options += ["--fault", "%s=%s" % (kind, when)]
    if rng.random() < 0.15:
        after = rng.randrange(0, 50)
        options += ["--hangup-after", str(after)]
        faults.append("hang-up after %d" % after)
    if rng.random() < 0.3:
        options += ["--split-pieces", str(rng.randint(2, 6)), "--split-delay-ms", str(rng.choice([1, 20, 120]))]
    if rng.random() < 0.2:
        options += ["--short-by", str(rng.randint(1, 127))]
    if rng.random() < 0.2:
        options += ["--truncate-bytes", str(rng.randint(1, 6))]
    if rng.random() < 0.2:
        options += ["--stall-ms", str(rng.choice([250, 320, 600]))]
    if rng.random() < 0.15:
        options += ["--pace"]
    if rng.random() < 0.1:
        # The identity or version (or a rate switch) answered seconds late.
        options += ["--fault", "stall=@%d" % rng.randint(2, 6), "--stall-ms", str(rng.choice([1300, 2500]))]
        faults.append("late identity (%s)" % options[-3])
    if rng.random() < 0.1:
        rate = rng.choice([57600, 115200])
        options += ["--rate", str(rate)]
        faults.append("left at %d" % rate)
    swap = rng.random() < 0.15
    if swap:
        after = rng.randrange(1, 120)
        options += ["--swap-after", str(after), "--swap-gap-ms", str(rng.choice([0, 500, 1500, 3000])),
                    "--swap-rate", str(rng.choice([9600, 57600]))]
        hang_up = rng.random() < 0.5
        if hang_up:
            options += ["--swap-hangup"]
        faults.append("swap after %d%s" % (after, " with a hang-up" if hang_up else ""))
    return memory, options, faults, swap


def start_sim(sim, options, folder):
    """Starts the simulator and returns (process, terminal path)."""
    log = open(os.path.join(folder, "sim.stderr"), "w")
    process = subprocess.Popen([sim] + options, stdout=subprocess.PIPE, stderr=log, text=True)
    line = process.stdout.readline().strip()
    if not line:
        process.wait(5)
        raise RuntimeError("orvald-sim did not start: " + open(os.path.join(folder, "sim.stderr")).read())
    return process, line


def stop(process):
    if process.poll() is None:
        process.send_signal(signal.SIGTERM)
        try:
            process.wait(5)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


def run_once(args, index, flights, work):
    rng = random.Random(args.seed * 100003 + index)
    memory, options, faults, swap = choose_mix(rng, flights)
    folder = os.path.join(work, "run-%03d" % index)
    data = os.path.join(folder, "data")
    os.makedirs(data)
    seed = ["--seed", str(rng.randrange(1, 1 << 30))]

    expected_path = os.path.join(folder, "expected.G00")
    memory_path = os.path.join(folder, "memory.bin")
    subprocess.run([args.sim] + options + seed + ["--expect-g00", expected_path, "--dump-memory", memory_path,
                                                  "--no-serve"], check=True, stdout=subprocess.DEVNULL)
    loggers = {FIRST_SERIAL: (open(expected_path, "rb").read(), block_payloads(open(memory_path, "rb").read()))}
    if swap:
        subprocess.run([args.sim] + options + seed + ["--as-swapped", "--expect-g00", expected_path, "--dump-memory",
                                                      memory_path, "--no-serve"], check=True, stdout=subprocess.DEVNULL)
        loggers[SWAPPED_SERIAL] = (open(expected_path, "rb").read(), block_payloads(open(memory_path, "rb").read()))
        # A hang-up leaves the port to be found again behind a link.
        options = options + ["--link", os.path.join(folder, "ttyLOGGER")]

    sim, device = start_sim(args.sim, options + seed, folder)
    started = time.monotonic()
    try:
        cli = subprocess.run([args.cli, "download", "--port", device, "--dir", data, "--tz-offset", "0"],
                             stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=TIME_BOUND_S)
        status, out, err = cli.returncode, cli.stdout, cli.stderr
    except subprocess.TimeoutExpired as expired:
        status, out, err = "timeout", expired.stdout or "", expired.stderr or ""
        if isinstance(out, bytes):
            out, err = out.decode(errors="replace"), err.decode(errors="replace")
    finally:
        seconds = time.monotonic() - started
        stop(sim)

    # A download that ended early keeps its file under a name that says so
    # (or, when even that failed, under the .part name).
    files = sorted(name for name in os.listdir(data) if name.endswith(".G00") or name.endswith(".G00.part"))
    incomplete_name = bool(files) and ("-incomplete" in files[0] or files[0].endswith(".part"))
    outcome, problems = "completed", []
    if status == "timeout":
        problems.append("did not end within %d s" % TIME_BOUND_S)
    elif status not in (0, 1):
        problems.append("exit status %s" % status)
    sim_err = open(os.path.join(folder, "sim.stderr"), errors="replace").read()
    for mark in SANITIZER_MARKS:
        if mark in err:
            problems.append("sanitizer report from orvald-cli (%s)" % mark)
        if mark in sim_err:
            problems.append("sanitizer report from orvald-sim (%s)" % mark)
    if len(files) > 1:
        problems.append("more than one raw file: %s" % files)
    got = open(os.path.join(data, files[0]), "rb").read() if files else None
    # Judged against the logger the name says; a file without a serial
    # against each, and it passes when it is right for one of them.
    named = [serial for serial in loggers if files and files[0].startswith(serial + "-")]
    candidates = named or list(loggers)
    best = None
    for serial in candidates:
        expected, payloads = loggers[serial]
        blank = header_matches(got, expected)[1] if got is not None and len(got) >= HEADER_SIZE else []
        at = first_difference(got, expected) if got is not None else None
        if at is not None and incomplete_name and status == 1 and header_matches(got, expected)[0] and \
                leaves_blocks_out(got, payloads):
            at = None  # whole blocks whose headers never came are missing, and the name says so
        if best is None or (best[1] is not None and at is None):
            best = (expected, at, blank)
    expected, at, blank = best
    if at is not None:
        problems.append("WRONG BYTES: %s differs from the expected image at byte %d" % (files[0], at))
        outcome = "wrong"
    elif status == 0:
        if incomplete_name:
            problems.append("exit 0 with the file named %s" % files[0])
        if blank:
            problems.append("exit 0 with a file without its %s" % " and ".join(blank))
        if len(got or b"") != len(expected):
            problems.append("exit 0 but the file is %s" % ("missing" if got is None else
                                                            "%d of %d bytes" % (len(got), len(expected))))
        elif ("file\t" + os.path.join(data, files[0])) not in out and ("file\t" + files[0]) not in out:
            problems.append("exit 0 without naming the file it wrote")
    elif status == 1:
        outcome = "reported"
        if not any(line.startswith("orvald-cli") for line in err.splitlines()):
            problems.append("exit 1 without a message")
        if files and not incomplete_name:
            problems.append("exit 1 with a file named as if complete: %s" % files[0])
        if files and "\nincomplete\t" not in "\n" + out:
            problems.append("exit 1 with a file but no incomplete line")
    if problems and outcome != "wrong":
        outcome = "problem"
    return {
        "index": index, "memory": memory, "faults": faults, "status": status, "seconds": seconds,
        "bytes": None if got is None else len(got), "blank": blank, "expected": len(expected), "outcome": outcome,
        "problems": problems, "options": options + seed, "stderr": err, "folder": folder,
    }


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--cli", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--runs", type=int, default=200)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--work")
    parser.add_argument("--keep", action="store_true", help="keep the work folder")
    parser.add_argument("--verbose", action="store_true")
    parser.add_argument("--only", help="comma-separated run numbers to repeat (with the same --seed)")
    args = parser.parse_args()

    work = args.work or tempfile.mkdtemp(prefix="orvald-soak-")
    os.makedirs(work, exist_ok=True)
    flight_rng = random.Random(args.seed)
    flights = {}
    for name, fixes in (("tiny", 12), ("small", 120), ("medium", 700)):
        flights[name] = os.path.join(work, name + ".igc")
        write_flight(flights[name], fixes, flight_rng)

    counts = {"completed": 0, "reported": 0, "problem": 0, "wrong": 0}
    identity_lost = 0
    longest = 0.0
    failed = []
    indexes = [int(n) for n in args.only.split(",")] if args.only else range(args.runs)
    for index in indexes:
        result = run_once(args, index, flights, work)
        counts[result["outcome"]] += 1
        longest = max(longest, result["seconds"])
        identity_lost += 1 if result["blank"] else 0
        line = "run %3d %-8s exit %-7s %6.2f s  %s/%s bytes  %s%s  [%s]" % (
            index, result["memory"], result["status"], result["seconds"], result["bytes"], result["expected"],
            result["outcome"], " (no %s)" % "+".join(result["blank"]) if result["blank"] else "",
            "; ".join(result["faults"]))
        if args.verbose or result["problems"]:
            print(line, flush=True)
        if result["problems"]:
            failed.append(result)
            for problem in result["problems"]:
                print("    " + problem)
            print("    orvald-sim " + " ".join(result["options"]))
            for err_line in result["stderr"].splitlines()[-15:]:
                print("    | " + err_line)
        elif not args.keep:
            shutil.rmtree(result["folder"])

    print("soak: runs %d, completed %d, reported failures %d, wrong bytes %d, other problems %d, longest run %.1f s; "
          "%d files (all incomplete) without a serial or version because those replies were lost"
          % (len(indexes), counts["completed"], counts["reported"], counts["wrong"], counts["problem"], longest,
             identity_lost))
    if not failed and not args.keep and not args.work:
        shutil.rmtree(work)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
