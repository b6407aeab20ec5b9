# Sourced by the checks and measuring scripts that read processor time.
# cpu_ticks PID... prints the user + system time the processes have used, in
# clock ticks (getconf CLK_TCK a second); a process that is gone counts 0.
# The fields are counted after the command name's closing parenthesis, as the
# name itself may hold spaces.
cpu_ticks() {
  local total=0 pid stat
  for pid in "$@"; do
    [[ -r /proc/$pid/stat ]] || continue
    read -r -a stat < <(sed 's/^.*) //' "/proc/$pid/stat") || continue
    total=$((total + stat[11] + stat[12]))
  done
  echo "$total"
}
