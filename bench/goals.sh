#!/usr/bin/env bash
# The goals table of make bench, from the figures extract_bench.sh, msi_bench.sh and window_bench.sh wrote
# (key=value lines): each goal as a ratio or a difference next to its limit.
#   goals.sh <results file>
set -eu
awk -F= '
  { v[$1] = $2 }
  function row(goal, what, value, shown, limit, met) {
    printf "  %-3s %-46s %-26s %-12s %s\n", goal, what, shown, limit, met ? "met" : "MISSED"
  }
  function ratio(goal, what, a, b, limit, unit,   r) {
    r = v[a] / v[b]
    row(goal, what, r, sprintf("%.3f (%s / %s %s)", r, v[a], v[b], unit), "<= " limit, r <= limit)
  }
  function mib(goal, what, a, b, limit,   d) {
    d = (v[a] - v[b]) / 1024
    row(goal, what, d, sprintf("%+.1f MiB (%.1f / %.1f)", d, v[a] / 1024, v[b] / 1024), "<= +" limit " MiB", d <= limit)
  }
  END {
    printf "goals, side by side in this run (best rounds; peaks are the highest):\n"
    ratio("G1", "-s / NSIS solid /S", "silent_ms", "nsis_solid_ms", 0.85, "ms")
    ratio("G1", "-s / minimal single-thread program", "silent_ms", "minimal_ms", 0.90, "ms")
    ratio("G1", "-x / NSIS solid /S", "installer_ms", "nsis_solid_ms", 0.75, "ms")
    n = v["many_files"]
    ratio("G7", "-s / NSIS solid /S, " n " small files", "many_silent_ms", "many_nsis_solid_ms", 0.80, "ms")
    ratio("G7", "-s / NSIS non-solid /S, the same", "many_silent_ms", "many_nsis_nonsolid_ms", 0.80, "ms")
    ratio("G7", "-s / minimal program, the same", "many_silent_ms", "many_minimal_ms", 1.00, "ms")
    us = (v["many_silent_ms"] - v["many_minimal_ms"]) * 1000 / n
    row("G7", "per file: (-s - minimal program) / files", us,
        sprintf("%+.0f us (%.0f / %.0f us)", us, v["many_silent_ms"] * 1000 / n, v["many_minimal_ms"] * 1000 / n),
        "<= 0 us", us <= 0)
    mib("G2", "peak of -s / the serial path (1 thread)", "silent_kib", "silent_serial_kib", 32)
    ratio("G3", "-x on the small archive / minimal program", "installer_small_ms", "minimal_small_ms", 1.10, "ms")
    mib("G3", "its peak / the minimal program", "installer_small_kib", "minimal_small_kib", 6)
    ratio("G4", "first paint / an empty window", "paint_ms", "empty_paint_ms", 1.5, "ms")
    idle = v["idle_installer"] + v["idle_server"] - v["idle_server_alone"]
    row("G5", "idle 10 s: installer + what it adds to Wine", idle,
        sprintf("%.3f %% (%.3f + %.3f - %.3f)", idle, v["idle_installer"], v["idle_server"], v["idle_server_alone"]),
        "< 0.1 %", idle < 0.1)
    ratio("G6", "msiexec /i /qn / the installer -s -all-users", "msi_ms", "msi_exe_ms", 1.3, "ms")
    ratio("G8", "update 3.7 -> 3.7.1 / full installer, archives", "update_pak", "full_pak", 0.03, "bytes")
    ratio("G8", "the same, the installers themselves", "update_exe", "full_exe", 0.03, "bytes")
    ratio("G8", "-s of the update / -s of the full installer", "update_ms", "update_full_ms", 1.0, "ms")
  }' "$1"
