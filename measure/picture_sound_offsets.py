# Where each scene cue's picture lands against its note as heard
# (measure-picture-sound.sh): from the recording placed in the song, its
# pieces' arrival times and the present probe's pictures log.
#   python3 picture_sound_offsets.py PLACED WORK SOUND_COMPARE SONG RATE CUE...
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
# Where a frame arrived (and so was played) by the line moved down to the
# earliest arrival near it: a stall of the recorder or of the sink shifts
# every later arrival, and one line for the whole run would spread that
# shift over the cues before and after it.
def played_ns(frame):
    near = [t - f * ns_per_frame for f, t in points if abs(f - frame) < 2 * rate]
    return min(near) + frame * ns_per_frame
recorded_seconds = points[-1][0] / rate
presents = [(int(words[0]), [float(b) for b in words[1:]])
            for words in (line.split() for line in open(f"{work}/pictures"))]
def change(i):   # how far the picture moved from the present before, mean over the cells
    return sum(abs(a - b) for a, b in zip(presents[i][1], presents[i - 1][1])) / len(presents[i][1])
offsets = []
skipped = []   # which offsets were placed across a skip
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
    heard_ns = played_ns((cue - song_at_first_frame(local)) * rate)
    near = [i for i in range(1, len(presents)) if abs(presents[i][0] - heard_ns) < 300_000_000]
    jump = max(near, key=change)
    step = change(jump)
    # A cut between two pictures of about the same blue moves the cells no
    # more than the noise does from frame to frame: it cannot be timed.
    noise = statistics.median(change(i) for i in near)
    if step < 4 * noise:
        print(f"cue at {cue:7.3f} s: too faint to time (blue step {step:.0f}, frame to frame {noise:.1f})")
        continue
    offsets.append((presents[jump][0] - heard_ns) / 1e6)
    # A stretch the sink dropped or padded near the cue moves the note by
    # as much; which side of the cue it fell the placement cannot tell.
    # Counted over the 2 s the placement rests on, placed on their own.
    window = subprocess.run([compare, f"{work}/heard.wav", song, "--skip-seconds", str(at), "--seconds", "2"],
                            capture_output=True, text=True).stdout.split()
    skips = (int(window[window.index("skips") + 1]) if "skips" in window and
             abs(song_at_first_frame(window) - song_at_first_frame(local)) <= 0.05 else 0)
    if skips:
        skipped.append(len(offsets) - 1)
    print(f"cue at {cue:7.3f} s: picture {offsets[-1]:+6.1f} ms from the note heard (blue step {step:.0f})"
          + (f", placed across {skips} skip(s) of the sink" if skips else ""))
if not offsets:
    sys.exit("no scene cue fell inside the recording")
print(f"median over {len(offsets)} cues: {statistics.median(offsets):+.1f} ms, from {min(offsets):+.1f} to "
      f"{max(offsets):+.1f} (a frame is 16.7 ms; sink clock {1e9 / ns_per_frame:.0f} Hz; the whole recording: "
      f"{sys.argv[1]})")
clean = [o for i, o in enumerate(offsets) if i not in skipped]
if skipped and clean:
    print(f"without the {len(skipped)} placed across a skip: median {statistics.median(clean):+.1f} ms, "
          f"from {min(clean):+.1f} to {max(clean):+.1f}")
