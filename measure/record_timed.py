# Records raw 16-bit stereo sound from standard input into a WAV file, and
# logs each piece's arrival: its monotonic time in ns and the frames received
# so far, a line each (measure-picture-sound.sh).
#   python3 record_timed.py RATE OUTPUT.wav ARRIVALS
import os, struct, sys, time
rate, out, timing = int(sys.argv[1]), sys.argv[2], open(sys.argv[3], "w")
data = bytearray()
while piece := os.read(0, 65536):
    data += piece
    timing.write(f"{time.monotonic_ns()} {len(data) // 4}\n")
with open(out, "wb") as f:
    f.write(b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVEfmt " +
            struct.pack("<IHHIIHH", 16, 1, 2, rate, rate * 4, 4, 16) + b"data" + struct.pack("<I", len(data)) + data)
