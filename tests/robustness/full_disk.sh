#!/usr/bin/env bash
# Downloads, IGC saves and table saves onto a full disk, a disk that fills up
# part way, and a read-only disk (small tmpfs mounts in a private mount
# namespace). Each must fail with a clear message, leave the files that were
# already there untouched, and leave nothing that looks saved.
# Where mounting is impossible (not root), an unwritable folder stands in for
# the read-only disk. Exit 77 (skipped) when neither can be arranged.
# Usage: full_disk.sh ORVALD_CLI ORVALD_SIM ORVALD_TABLE_SAVE
set -uo pipefail
cli=$1
sim=$2
tablesave=$3

if [ "${ORVALD_FULL_DISK_INSIDE:-}" != 1 ]; then
  if [ "$(id -u)" = 0 ] && command -v unshare >/dev/null && unshare -m --propagation private true 2>/dev/null; then
    ORVALD_FULL_DISK_INSIDE=1 exec unshare -m --propagation private "$0" "$@"
  fi
  mounting=no
else
  mounting=yes
fi

work=$(mktemp -d /tmp/orvald-full-disk-XXXXXX)
cleanup() {
  [ -n "${sim_pid:-}" ] && kill "$sim_pid" 2>/dev/null
  for m in "$work"/disk-*; do mountpoint -q "$m" 2>/dev/null && umount "$m"; done
  chmod -R u+w "$work" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
[ -n "${ORVALD_KEEP_FULL_DISK:-}" ] && trap - EXIT

failures=0
checks=0
fail() { echo "FAILED [$case_name] $*"; failures=$((failures + 1)); }
check() { checks=$((checks + 1)); }

# Files the disks start with, made on the ordinary disk.
"$sim" --expect-g00 "$work/expected.G00" --no-serve || exit 1
mkdir "$work/earlier"
cp "$work/expected.G00" "$work/earlier/00000012345-20260714-090000.G00"
"$cli" igc "$work/expected.G00" --segments 1 --compet 001 --dir "$work/earlier" --tz-offset 0 >/dev/null || exit 1
{
  printf '00000012345\t001\tAnna Berg\r\n'
  # A long table: replacing it needs room for the old and the new file at once.
  for i in $(seq 1 900); do printf '%011d\t%03d\tPilot Number %d with a long name\r\n' "$i" $((i % 1000)) "$i"; done
} > "$work/earlier/loggers.tsv"
printf '01\t2026/07/14\t09:30:00\t16:00:00\r\n' > "$work/earlier/tasks.tsv"

# new_disk NAME FREE_KB|full|ro : a folder holding the earlier files, with
# that much room left, or read-only.
new_disk() {
  disk="$work/disk-$1"
  mkdir "$disk"
  if [ "$mounting" = yes ]; then
    mount -t tmpfs -o size=256k,mode=0755 tmpfs "$disk" || { echo "cannot mount a tmpfs"; exit 1; }
  fi
  cp -p "$work/earlier/"* "$disk/"
  case $2 in
    ro)
      if [ "$mounting" = yes ]; then mount -o remount,ro "$disk"; else chmod a-w "$disk"; fi ;;
    *)
      dd if=/dev/zero of="$disk/filler" bs=4096 status=none 2>/dev/null
      [ "$2" = full ] || truncate -s "-$2K" "$disk/filler" ;;
  esac
  (cd "$disk" && sha256sum $(ls | grep -v '^filler$' | grep -vx 'journal.tsv')) > "$work/before-$1"
  # The day journal is only ever appended to: what it held must stay its start.
  rm -f "$work/journal-before-$1"
  [ -f "$disk/journal.tsv" ] && cp "$disk/journal.tsv" "$work/journal-before-$1"
  return 0
}

# The earlier files are byte for byte as they were, and nothing else is left.
same_files_as_before() {
  local name=$1 extra_allowed=${2:-}
  check
  (cd "$disk" && sha256sum -c --quiet "$work/before-$name") >/dev/null 2>&1 ||
    fail "an earlier file changed: $(cd "$disk" && sha256sum -c "$work/before-$name" 2>&1 | grep -v ': OK$')"
  if [ -f "$work/journal-before-$name" ]; then
    check
    cmp -s -n "$(stat -c %s "$work/journal-before-$name")" "$work/journal-before-$name" "$disk/journal.tsv" ||
      fail "the day journal was rewritten, not appended to"
  fi
  local left
  left=$(cd "$disk" && ls -A | grep -v '^filler$' | grep -vx 'journal.tsv' |
         grep -vxF -f <(awk '{print $2}' "$work/before-$name") | grep -v "${extra_allowed:-^$}")
  check
  [ -z "$left" ] || fail "left behind: $left"
}

# The system's reason for the disk kind, as the messages must show it.
reason_for() {
  case $1 in
    read-only) if [ "$mounting" = yes ]; then echo "Read-only file system"; else echo "Permission denied"; fi ;;
    *) echo "No space left on device" ;;
  esac
}

# The raw files a download may leave: complete, or kept as incomplete, or
# the temporary file when not even the incomplete one could be named.
raw_names='^[0-9-]+(-incomplete)?(-[0-9]+)?\.G00(\.part)?$'

# download CASE: a download into the disk must fail and say so.
download_case() {
  case_name="download onto $1 disk"
  local out="$work/$1-download.out" err="$work/$1-download.err"
  "$sim" > "$work/sim.out" 2>/dev/null &
  sim_pid=$!
  local device=""
  for _ in $(seq 50); do device=$(head -n 1 "$work/sim.out"); [ -n "$device" ] && break; sleep 0.1; done
  timeout 60 "$cli" download --port "$device" --dir "$disk" --tz-offset 0 >"$out" 2>"$err" </dev/null
  local status=$?
  kill "$sim_pid"; wait "$sim_pid" 2>/dev/null; sim_pid=
  check; [ "$status" = 1 ] || fail "exit status $status, expected 1"
  check; grep -qF "$(reason_for "$1")" "$err" || fail "the reason is not on stderr: $(cat "$err")"
  check; ! grep -E $'^file\t' "$out" | grep -qvE -- '(-incomplete(-[0-9]+)?\.G00|\.part)$' ||
    fail "reported a complete file: $(grep '^file' "$out")"
  check; ! grep -q $'^file\t' "$out" || grep -q $'^incomplete\t' "$out" || fail "no incomplete line: $(cat "$out")"
  # Whatever raw file is left is an incomplete prefix, reported as such.
  local raw
  for raw in $(cd "$disk" && ls | grep -E "$raw_names" | grep -vxF -f <(awk '{print $2}' "$work/before-$1")); do
    check
    local size; size=$(stat -c %s "$disk/$raw")
    if [ "$size" -ge "$(stat -c %s "$work/expected.G00")" ]; then
      fail "$raw is as long as a complete download"
    elif ! cmp -s -n "$size" "$disk/$raw" "$work/expected.G00"; then
      fail "$raw holds bytes the logger did not send"
    fi
    check; grep -q 'incomplete' "$err" || fail "$raw left without saying the download is incomplete: $(cat "$err")"
  done
  same_files_as_before "$1" '^[0-9-]*\(incomplete\)\?[0-9-]*\.G00\(\.part\)\?$'
  # What the download left is the disk's from now on: the other saves must not touch it.
  (cd "$disk" && ls | grep -E "$raw_names" | grep -vxF -f <(awk '{print $2}' "$work/before-$1") |
    xargs -r sha256sum) >> "$work/before-$1"
  echo "  $case_name: exit $status, $(grep -F "$(reason_for "$1")" "$err" | head -n 1)"
}

igc_case() {
  case_name="IGC save onto $1 disk"
  local err="$work/$1-igc.err"
  "$cli" igc "$work/expected.G00" --segments 1-2 --compet 001 --dir "$disk" --tz-offset 0 >"$work/$1-igc.out" 2>"$err"
  local status=$?
  check; [ "$status" = 1 ] || fail "exit status $status, expected 1"
  check; grep -q '^orvald-cli: ' "$err" || fail "no message on stderr: $(cat "$err")"
  check; grep -qF "$(reason_for "$1")" "$err" || fail "the reason is not on stderr: $(cat "$err")"
  check; [ ! -s "$work/$1-igc.out" ] || fail "a file name was printed as saved: $(cat "$work/$1-igc.out")"
  same_files_as_before "$1"
  echo "  $case_name: exit $status, $(head -n 1 "$err")"
}

table_case() {
  local table=$1 file=$2 message=$3 disk_kind=$4
  case_name="$table table save onto $disk_kind disk"
  local err="$work/$disk_kind-$table.err"
  "$tablesave" "$table" "$disk/$file" >"$work/$disk_kind-$table.out" 2>"$err"
  local status=$?
  check; [ "$status" = 1 ] || fail "exit status $status, expected 1"
  check; grep -qF "$message" "$err" || fail "expected \"$message\", got: $(cat "$err")"
  check; grep -qF "$(reason_for "$disk_kind")" "$err" || fail "the reason is not on stderr: $(cat "$err")"
  check; [ ! -s "$work/$disk_kind-$table.out" ] || fail "reported as saved: $(cat "$work/$disk_kind-$table.out")"
  same_files_as_before "$disk_kind"
  echo "  $case_name: exit $status, $(head -n 1 "$err")"
}

run_all_on() {
  new_disk "$1" "$2"
  if [ "$2" = 12 ]; then
    # Some room left: too little for a second copy of the long loggers table
    # or for the IGC file, so both fail part way; the download fills the rest.
    table_case loggers loggers.tsv "Can't write Loggers file" "$1"
    igc_case "$1"
    download_case "$1"
  else
    download_case "$1"
    igc_case "$1"
    table_case loggers loggers.tsv "Can't write Loggers file" "$1"
    table_case tasks tasks.tsv "Can't write tasks file" "$1"
  fi
  if [ "$mounting" = yes ]; then umount "$disk"; fi
}

if [ "$mounting" = yes ]; then
  echo "tmpfs disks in a private mount namespace"
  run_all_on full full
  run_all_on nearly-full 12
  run_all_on read-only ro
elif [ "$(id -u)" != 0 ]; then
  echo "cannot mount: an unwritable folder stands in for a read-only disk"
  run_all_on read-only ro
else
  echo "SKIPPED: root without a private mount namespace; an unwritable folder does not stop root"
  exit 77
fi

echo "full disk: $checks checks, $failures failed"
[ "$failures" = 0 ]
