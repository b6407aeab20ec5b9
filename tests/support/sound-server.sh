#!/usr/bin/env bash
# A private sound server for tests that listen to what a program plays:
# PipeWire with its session manager and its PulseAudio server, one null sink
# as the default output, and recordings of that sink's monitor. Everything
# lives in DIR (its runtime folder, its own D-Bus, its state), so nothing of
# the system's or the user's sound setup is touched, and parallel runs with
# different folders never meet. Runs as root or as any user owning DIR.
#   sound-server.sh start DIR        start; prints the environment a client
#                                    needs, one NAME=VALUE a line
#   sound-server.sh stop DIR         stop the server (and any recording)
#   sound-server.sh restart DIR      stop, then start again in DIR; clients
#                                    keep the same environment
#   sound-server.sh mute DIR         stop the server and leave in its place
#                                    sockets that take a client's connection
#                                    and never answer (until stop)
#   sound-server.sh record DIR FILE  record the sink's monitor into FILE (WAV,
#                                    16-bit, 48000 Hz, stereo) in the background
#   sound-server.sh stop-record DIR  end the recording; FILE is complete after
set -euo pipefail

SINK=quarvelin_sink
what=${1:-}
dir=${2:-}
if [[ -z $what || -z $dir ]]; then
  echo "usage: sound-server.sh start|stop|restart|mute|record|stop-record DIR [FILE]" >&2
  exit 2
fi
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
runtime=$dir/runtime

export XDG_RUNTIME_DIR=$runtime
export XDG_STATE_HOME=$dir/state XDG_CONFIG_HOME=$dir/config
export PULSE_SERVER=unix:$runtime/pulse/native
export PIPEWIRE_RUNTIME_DIR=$runtime
export DBUS_SESSION_BUS_ADDRESS=unix:path=$runtime/bus
unset PULSE_SINK PIPEWIRE_REMOTE

# Whether `pid` still runs (an ended process not yet reaped by its new parent
# counts as ended).
running() {
  local state
  state=$(ps -o stat= -p "$1" 2>/dev/null) || return 1
  [[ $state != Z* ]]
}

# Ends the process whose pid is in FILE, waiting up to 5 s before killing it.
end_pid_file() {
  local file=$1 pid
  [[ -f $file ]] || return 0
  pid=$(cat "$file")
  rm -f "$file"
  kill -TERM "$pid" 2>/dev/null || return 0
  for _ in $(seq 100); do
    running "$pid" || return 0
    sleep 0.05
  done
  kill -KILL "$pid" 2>/dev/null || true
}

# Starts a daemon in the background, its output in DIR/NAME.log.
launch() {
  local name=$1
  shift
  setsid "$@" >"$dir/$name.log" 2>&1 </dev/null &
  echo $! >"$dir/$name.pid"
}

stop_server() {
  end_pid_file "$dir/recorder.pid"
  local name
  for name in mute pipewire-pulse wireplumber pipewire dbus; do end_pid_file "$dir/$name.pid"; done
  rm -f "$runtime/pipewire-0" "$runtime/pipewire-0.lock" "$runtime/bus"
  rm -rf "$runtime/pulse"
}

# Waits until `pactl` answers and the null sink is the default output.
wait_ready() {
  local _
  for _ in $(seq 100); do
    if pactl info >/dev/null 2>&1; then
      pactl list short sinks 2>/dev/null | grep -q "	$SINK	" ||
        pactl load-module module-null-sink sink_name=$SINK \
          sink_properties=device.description=quarvelin-test-sink >/dev/null 2>&1 || true
      pactl set-default-sink $SINK >/dev/null 2>&1 || true
      pactl info 2>/dev/null | grep -q "^Default Sink: $SINK$" && return 0
    fi
    sleep 0.1
  done
  echo "the sound server in $dir did not start; its logs:" >&2
  tail -n 5 "$dir"/*.log >&2 || true
  return 1
}

start_server() {
  mkdir -p "$runtime" "$XDG_STATE_HOME" "$XDG_CONFIG_HOME"
  chmod 700 "$runtime"
  # The session manager needs a session bus; without one it ends at once and
  # nothing ever links a program's stream to the sink.
  launch dbus dbus-daemon --session --nofork --nopidfile --address="$DBUS_SESSION_BUS_ADDRESS"
  for _ in $(seq 50); do
    [[ -S $runtime/bus ]] && break
    sleep 0.1
  done
  launch pipewire pipewire
  for _ in $(seq 50); do
    [[ -S $runtime/pipewire-0 ]] && break
    sleep 0.1
  done
  launch wireplumber wireplumber
  launch pipewire-pulse pipewire-pulse
  wait_ready
  printf '%s\n' "XDG_RUNTIME_DIR=$XDG_RUNTIME_DIR" "PULSE_SERVER=$PULSE_SERVER" \
    "PIPEWIRE_RUNTIME_DIR=$PIPEWIRE_RUNTIME_DIR"
}

case $what in
start)
  stop_server # whatever an earlier run in DIR left
  start_server
  ;;
stop)
  stop_server
  ;;
restart)
  stop_server
  start_server
  ;;
mute)
  stop_server
  mkdir -p "$runtime/pulse"
  launch mute perl -MIO::Socket::UNIX -e 'my @s = map { IO::Socket::UNIX->new(Type => SOCK_STREAM(),
    Local => $_, Listen => 16) or die "$_: $!" } @ARGV; sleep' "$runtime/pulse/native" "$runtime/pipewire-0"
  for _ in $(seq 50); do
    [[ -S $runtime/pipewire-0 ]] && exit 0
    sleep 0.1
  done
  echo "the mute sockets did not open: $(cat "$dir/mute.log")" >&2
  exit 1
  ;;
record)
  file=${3:?record needs a FILE}
  end_pid_file "$dir/recorder.pid"
  # 100 ms pieces: by default the server hands a recording over in 2 s pieces.
  launch recorder parec --device=$SINK.monitor --latency-msec=100 --format=s16le --rate=48000 \
    --channels=2 --file-format=wav "$file"
  for _ in $(seq 50); do
    pactl list short source-outputs 2>/dev/null | grep -q . && exit 0
    sleep 0.1
  done
  echo "the recording did not start: $(cat "$dir/recorder.log")" >&2
  exit 1
  ;;
stop-record)
  # parec writes the WAV header's sizes when it ends on SIGINT or SIGTERM.
  end_pid_file "$dir/recorder.pid"
  ;;
*)
  echo "usage: sound-server.sh start|stop|restart|mute|record|stop-record DIR [FILE]" >&2
  exit 2
  ;;
esac
