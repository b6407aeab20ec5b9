#!/usr/bin/env bash
# How far a scene's picture is from its note as heard, end to end through a
# sound server: the show plays on a private Xvfb (640x480) into a private
# PipeWire (tests/support/sound-server.sh); the sink's monitor is recorded with the
# arrival time of every piece, and the present probe logs each present's time
# and mean blue (which the tint leaves alone), all on the monotonic clock.
# The recording is placed in the song to the millisecond (tests/support's
# comparer), which gives the moment each song time was heard; a scene cue's
# picture is the present, near that moment, where the blue jumps. Prints one
# line per cue and the median: positive when the picture comes after its note.
#   measure/measure-picture-sound.sh [build-folder] [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
source tests/support/xvfb.sh
build=${1:-build}
seconds=${2:-35}
probe=$(realpath "$build/bench/quarvelin-present-probe.so")
show_dir=$(realpath "$build/show")
work=$(mktemp -d)
show_pid=
recorder_pid=
cleanup() {
  [[ -n $show_pid ]] && kill -KILL "$show_pid" 2>/dev/null
  [[ -n $recorder_pid ]] && kill "$recorder_pid" 2>/dev/null
  tests/support/sound-server.sh stop "$work/sound"
  stop_xvfb
  rm -rf "$work"
}
trap cleanup EXIT
rate=48000

mapfile -t environment < <(tests/support/sound-server.sh start "$work/sound")
start_xvfb 640x480x24

# The recorder: 10 ms pieces, each logged with its arrival time and the
# frames received so far.
env "${environment[@]}" parec --device=quarvelin_sink.monitor --latency-msec=10 --format=s16le \
  --rate=$rate --channels=2 --raw | python3 -c '
import os, struct, sys, time
rate, out, timing = int(sys.argv[1]), sys.argv[2], open(sys.argv[3], "w")
data = bytearray()
while piece := os.read(0, 65536):
    data += piece
    timing.write(f"{time.monotonic_ns()} {len(data) // 4}\n")
with open(out, "wb") as f:
    f.write(b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVEfmt " +
            struct.pack("<IHHIIHH", 16, 1, 2, rate, rate * 4, 4, 16) + b"data" + struct.pack("<I", len(data)) + data)
' "$rate" "$work/heard.wav" "$work/arrivals" &
recorder_pid=$!
sleep 0.5

(cd "$show_dir" && exec env -u SDL_VIDEODRIVER "${environment[@]}" DISPLAY="$DISPLAY" \
  QUARVELIN_PROBE_PICTURES_FILE="$work/pictures" LD_PRELOAD="$probe" ./quarvelin) &
show_pid=$!
sleep "$seconds"
kill -TERM "$show_pid"
wait "$show_pid" || true
show_pid=
sleep 0.3
pkill -INT -f "parec --device=quarvelin_sink.monitor --latency-msec=10" || true
wait "$recorder_pid" || true
recorder_pid=

placed=$("$build/tests/support/sound_compare" "$work/heard.wav" "$show_dir/RETRO.XM" --skip-seconds 2) ||
  fail "the recording is not the song: $placed"
cues=$("$build/tools/quarvelin-cues" "$show_dir/RETRO.XM" | awk '
  /^instrument [346] / {on = 1; sub(/^[^:]*:/, "")}
  /^instrument/ && !/^instrument [346] / {on = 0}
  on {for (i = 1; i <= NF; ++i) print $i}')
python3 - "$placed" "$work" "$build/tests/support/sound_compare" "$show_dir/RETRO.XM" $rate $cues <<'EOF'
import statistics, subprocess, sys
placed, work, compare, song, rate = sys.argv[1].split(), sys.argv[2], sys.argv[3], sys.argv[4], int(sys.argv[5])
def song_at_first_frame(words):   # song time under the recording's first frame
    return float(words[words.index("offset") + 1])
# The sink's clock against the monotonic one (on a virtual machine its timer
# may run slow by a few parts in a thousand): the slope of arrival time over
# frames received, by least squares, with the line moved down to the earliest
# arrival, as a piece arrives after its last frame was played, never before.
points = [tuple(map(int, line.split())) for line in open(f"{work}/arrivals")]
points = [(frames, ns) for ns, frames in points if frames > rate]   # the first second settles
mean_f = sum(f for f, _ in points) / len(points)
mean_t = sum(t for _, t in points) / len(points)
ns_per_frame = (sum((f - mean_f) * (t - mean_t) for f, t in points) /
                sum((f - mean_f) ** 2 for f, _ in points))
first_ns = min(t - f * ns_per_frame for f, t in points)
recorded_seconds = points[-1][0] / rate
presents = [(int(t), float(b)) for t, b in (line.split() for line in open(f"{work}/pictures"))]
offsets = []
for cue in sorted(float(c) for c in sys.argv[6:]):
    # Placed again from 1 s before the cue: the server's resampling lets the
    # song drift against the sink by a few milliseconds over a run.
    at = cue - song_at_first_frame(placed) - 1
    if at < 2 or at + 3 > recorded_seconds:
        continue
    local = subprocess.run([compare, f"{work}/heard.wav", song, "--skip-seconds", str(at)],
                           capture_output=True, text=True).stdout.split()
    if "offset" not in local or abs(song_at_first_frame(local) - song_at_first_frame(placed)) > 0.05:
        continue  # placed at a repeat of the music elsewhere in the song
    heard_ns = first_ns + (cue - song_at_first_frame(local)) * rate * ns_per_frame
    near = [i for i in range(1, len(presents)) if abs(presents[i][0] - heard_ns) < 300_000_000]
    jump = max(near, key=lambda i: abs(presents[i][1] - presents[i - 1][1]))
    step = abs(presents[jump][1] - presents[jump - 1][1])
    offsets.append((presents[jump][0] - heard_ns) / 1e6)
    print(f"cue at {cue:7.3f} s: picture {offsets[-1]:+6.1f} ms from the note heard (blue step {step:.0f})")
if not offsets:
    sys.exit("no scene cue fell inside the recording")
print(f"median over {len(offsets)} cues: {statistics.median(offsets):+.1f} ms, from {min(offsets):+.1f} to "
      f"{max(offsets):+.1f} (a frame is 16.7 ms; sink clock {1e9 / ns_per_frame:.0f} Hz; the whole recording: "
      f"{sys.argv[1]})")
EOF
