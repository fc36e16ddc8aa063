#!/usr/bin/env python3
"""Records downloads with `orvald-cli download --log` (and ORVALD_TRANSCRIPT),
replays each log with `orvald-sim --replay`, and checks that the second
download writes the same raw file, ends the same way and makes the same
exchanges (requests, bytes received and results).

Usage: transcript_replay.py --cli PATH --sim PATH
"""
import argparse
import os
import signal
import subprocess
import sys
import tempfile

SCENARIOS = [
    # name, simulator options, expected exit status of the recorded download
    ("clean", [], 0),
    ("faults", ["--fault", "drop=@30,90", "--fault", "split=0.1", "--fault", "garbage=@60",
                "--fault", "stall=@40", "--fault", "trailing=0.05", "--seed", "11"], 0),
    ("lost-identity", ["--fault", "no-identity", "--start-block", "30"], 1),
    ("read-error", ["--fault", "drop=@40,41,42,43,44"], 1),
]


def download(cli, sim, sim_options, folder, log, log_by_environment):
    os.makedirs(folder)
    simulator = subprocess.Popen([sim] + sim_options, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    try:
        device = simulator.stdout.readline().strip()
        if not device:
            raise RuntimeError("orvald-sim did not start with %s" % sim_options)
        command = [cli, "download", "--port", device, "--dir", folder, "--tz-offset", "0"]
        environment = dict(os.environ)
        environment.pop("ORVALD_TRANSCRIPT", None)
        if log_by_environment:
            environment["ORVALD_TRANSCRIPT"] = log
        else:
            command += ["--log", log]
        done = subprocess.run(command, capture_output=True, text=True, timeout=120, env=environment,
                              stdin=subprocess.DEVNULL)
    finally:
        simulator.send_signal(signal.SIGTERM)
        simulator.wait(10)
    files = [name for name in os.listdir(folder) if name.endswith(".G00")]
    raw = open(os.path.join(folder, files[0]), "rb").read() if len(files) == 1 else None
    return done.returncode, raw, done.stderr


def exchanges(log):
    """The exchanges of a log without their timing: line, rate, request,
    received bytes, count and result."""
    rows = []
    for line in open(log):
        if line.startswith("#") or not line.strip():
            continue
        fields = line.rstrip("\n").split("\t")
        if len(fields) != 8:
            raise AssertionError("%s: line with %d fields: %r" % (log, len(fields), line))
        rows.append(fields[2:])
    return rows


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--sim", required=True)
    args = parser.parse_args()

    failures = []
    with tempfile.TemporaryDirectory(prefix="orvald-replay-") as work:
        for index, (name, options, expected_status) in enumerate(SCENARIOS):
            base = os.path.join(work, name)
            recorded_log = base + "-recorded.log"
            status, raw, err = download(args.cli, args.sim, options, base + "-recorded", recorded_log,
                                        log_by_environment=index % 2 == 1)
            if status != expected_status or raw is None:
                failures.append("%s: the recorded download ended %s with %s (expected exit %d)\n%s"
                                % (name, status, "no raw file" if raw is None else "a raw file",
                                   expected_status, err))
                continue
            replayed_log = base + "-replayed.log"
            replay_status, replay_raw, replay_err = download(args.cli, args.sim, ["--replay", recorded_log],
                                                             base + "-replayed", replayed_log, False)
            recorded, replayed = exchanges(recorded_log), exchanges(replayed_log)
            if replay_status != status:
                failures.append("%s: replay exit %s, recorded %s\n%s" % (name, replay_status, status, replay_err))
            if replay_raw != raw:
                failures.append("%s: the replayed download wrote %s bytes, the recorded one %d"
                                % (name, None if replay_raw is None else len(replay_raw), len(raw)))
            if recorded != replayed:
                at = next((i for i in range(min(len(recorded), len(replayed))) if recorded[i] != replayed[i]),
                          min(len(recorded), len(replayed)))
                failures.append("%s: exchanges differ from number %d (%d recorded, %d replayed)"
                                % (name, at + 1, len(recorded), len(replayed)))
            print("%-14s exit %d, %6d bytes, %4d exchanges recorded and replayed"
                  % (name, status, len(raw), len(recorded)))
    for failure in failures:
        print("FAILED " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
