#!/usr/bin/env bash
# korvalis mp3 end to end on a file it makes itself: Mp3CommandTest.sh KORVALIS
set -uo pipefail
korvalis=${1:?korvalis binary}
work=$(mktemp -d "${TMPDIR:-/tmp}/korvalis-mp3.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect_status() {  # expect_status STATUS COMMAND...
  local want=$1; shift
  "$@" >"$work/out" 2>"$work/err"; local got=$?
  [ "$got" -eq "$want" ] || fail "$* exited $got, wanted $want: $(cat "$work/err")"
}

# Archives may live under directories with "." and "~" in their names.
dir="$work/archive.v2~copy"
mkdir -p "$dir/parts"
expect_status 0 "$korvalis" mp3 make "$dir" --start 0x4b9e3f00 --seconds 5 --prefix COURT1 --n1 3
file="$dir/COURT1~4b9e3f00~0~3~0~0.mp3"
[ "$(cat "$work/out")" = "$file" ] || fail "make printed $(cat "$work/out")"
[ "$(stat -c %s "$file")" -eq $((139 * 144)) ] || fail "make wrote $(stat -c %s "$file") bytes"

expect_status 0 "$korvalis" mp3 info "$file"
for line in "valid: true" "prefix: COURT1" "start_time: 1268662016.000" "n1: 3" "n2: 0" "n3: 0" \
            "version: 2" "layer: 3" "bit_rate: 32" "sample_rate: 16000" "samples_per_frame: 576" \
            "frame_size: 144" "frame_duration: 0.036" "total_duration: 5.004" "stamped_frames: 5"; do
  grep -qx "$line" "$work/out" || fail "info lacks '$line': $(cat "$work/out")"
done

expect_status 0 "$korvalis" mp3 timing "$file"
[ "$(wc -l <"$work/out")" -eq 5 ] || fail "timing printed $(wc -l <"$work/out") lines"
grep -qvE '^[0-9]+\.[0-9]{4},[0-9]+\.[0-9]{4},-?[0-9]+\.[0-9]{4},[0-9]+\.[0-9]{4}$' "$work/out" &&
  fail "timing lines: $(cat "$work/out")"

expect_status 0 "$korvalis" mp3 split "$file" --at 0x4b9e3f02 --out "$dir/parts"
[ "$(wc -l <"$work/out")" -eq 2 ] || fail "split printed $(cat "$work/out")"
cat $(cat "$work/out") | cmp -s - "$file" || fail "the two parts do not make up the file"
rm -f "$dir/parts"/*
expect_status 0 "$korvalis" mp3 split "$file" --at 1268662017 --at 1268662019 --out "$dir/parts" --mode 2
[ "$(cat "$work/out")" = "$dir/parts/COURT1~4b9e3f00~972~3~0~0.mp3" ] || fail "middle part $(cat "$work/out")"
# A cut asked for at a frame start (frame 139 of 36 ms, 5.004 s in) cuts there, whatever the
# tolerance, and the part is named by that frame's millisecond.
rm -f "$dir/parts"/*
expect_status 0 "$korvalis" mp3 make "$dir" --start 0x4b9e3f00 --seconds 10 --prefix HOUR
long="$dir/HOUR~4b9e3f00~0~0~0~0.mp3"
expect_status 0 "$korvalis" mp3 split "$long" --at 1268662021.004 --out "$dir/parts" --mode 3 --tolerance 0
[ "$(cat "$work/out")" = "$dir/parts/HOUR~4b9e3f05~4~0~0~0.mp3" ] || fail "part at 5.004 s: $(cat "$work/out") $(cat "$work/err")"
expect_status 0 "$korvalis" mp3 split "$long" --at 1268662023.56 --at 1268662024.2 --out "$dir/parts" --mode 2
[ "$(cat "$work/out")" = "$dir/parts/HOUR~4b9e3f07~560~0~0~0.mp3" ] || fail "part at 7.560 s: $(cat "$work/out")"
[ "$(stat -c %s "$(cat "$work/out")")" -eq $((17 * 144)) ] || fail "the part from 7.560 s to 8.172 s is not 17 frames"
rm -f "$dir/parts"/* "$long"
expect_status 1 "$korvalis" mp3 split "$file" --at 1268662017 --out "$dir"  # would overwrite itself
expect_status 1 "$korvalis" mp3 split "$file" --at 1268662030 --out "$dir/parts"
grep -q "Split point(s) not in this file." "$work/err" || fail "split beyond the end: $(cat "$work/err")"
expect_status 2 "$korvalis" mp3 split "$file" --at 1268662017 --out "$dir/parts" --mode 2
expect_status 2 "$korvalis" mp3 split "$file" --out "$dir/parts"

expect_status 0 "$korvalis" mp3 decode "$file" --wav "$work/out.wav"
[ "$(stat -c %s "$work/out.wav")" -eq $((44 + 139 * 576 * 2)) ] || fail "decode wrote $(stat -c %s "$work/out.wav") bytes"
if command -v mpg123 >/dev/null; then
  mpg123 -q -s "$file" | cmp -s - <(tail -c +45 "$work/out.wav") || fail "decode differs from mpg123"
fi

# Bytes between frames (other makers' files) are passed over: the whole file is decoded.
split -b $((10 * 144)) "$file" "$work/piece."
for piece in "$work"/piece.*; do cat "$piece"; printf 'JUNK!'; done >"$work/junk.mp3"
rm -f "$work"/piece.*
expect_status 0 "$korvalis" mp3 decode "$work/junk.mp3" --wav "$work/junk.wav"
[ "$(stat -c %s "$work/junk.wav" 2>/dev/null)" = $((44 + 139 * 576 * 2)) ] ||
  fail "a file with junk between frames decoded to $(stat -c %s "$work/junk.wav" 2>/dev/null) bytes: $(cat "$work/err")"
cmp -s "$work/junk.wav" "$work/out.wav" || fail "junk between frames changed the decoded samples"

# A frame of another format ends decoding with a failure that names it; no WAV file is left.
{ cat "$file"; for i in 1 2; do printf '\xff\xfb\x90\x64'; head -c 413 /dev/zero; done; } >"$work/mixed.mp3"
expect_status 1 "$korvalis" mp3 decode "$work/mixed.mp3" --wav "$work/mixed.wav"
grep -q "stopped at frame 139 (byte $((139 * 144))): .*MPEG-1 Layer III at 44100 Hz" "$work/err" ||
  fail "decode of a file changing format: $(cat "$work/err")"
[ -e "$work/mixed.wav" ] && fail "a partial WAV file was left behind"

# Bad input: a clear message and status 1, never a crash.
printf 'not an mp3 at all' >"$work/LOC~4b9e3f00~0~0~0~0.mp3"
for sub in info timing; do
  expect_status 1 "$korvalis" mp3 $sub "$work/LOC~4b9e3f00~0~0~0~0.mp3"
  grep -q "is not MPEG audio" "$work/err" || fail "$sub on text: $(cat "$work/err")"
  expect_status 1 "$korvalis" mp3 $sub "$work/missing.mp3"
done
expect_status 1 "$korvalis" mp3 decode "$work/LOC~4b9e3f00~0~0~0~0.mp3" --wav "$work/bad.wav"
head -c 1000 "$file" >"$work/cut.mp3"  # a truncated last frame, and not a scheme name
expect_status 0 "$korvalis" mp3 info "$work/cut.mp3"
grep -qx "valid: false" "$work/out" || fail "info on a name outside the scheme: $(cat "$work/out")"
expect_status 1 "$korvalis" mp3 split "$work/cut.mp3" --at 1 --out "$dir/parts"
expect_status 0 "$korvalis" mp3 decode "$work/cut.mp3" --wav "$work/cut.wav"
[ "$(stat -c %s "$work/cut.wav")" -eq $((44 + 6 * 576 * 2)) ] || fail "truncated file decoded to $(stat -c %s "$work/cut.wav") bytes"

expect_status 2 "$korvalis" mp3
expect_status 2 "$korvalis" mp3 frobnicate "$file"
expect_status 2 "$korvalis" mp3 info "$file" --wav x
expect_status 2 "$korvalis" mp3 make "$dir" --start 0 --seconds 0
expect_status 2 "$korvalis" mp3 make "$dir" --start -5 --seconds 1
expect_status 2 "$korvalis" mp3 make "$dir" --start 0 --seconds 1 --prefix "a~b"
expect_status 1 "$korvalis" mp3 make "$work/missing/x.mp3" --start 0 --seconds 1

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "korvalis mp3: all checks passed"
