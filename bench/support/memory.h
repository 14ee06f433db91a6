#pragma once

// The memory figures the benchmarks print, in MB (Linux /proc).
namespace tovrin::bench {

// Resident memory now (/proc/self/statm).
double residentMb();
// Peak resident memory since the last resetPeak(), or since the start
// (/proc/self/status VmHWM); -1 when it cannot be read.
double peakMb();
// Starts a new peak from the resident memory now (/proc/self/clear_refs).
void resetPeak();
// The process's peak resident memory as getrusage gives it (Linux takes it
// from the same high-water mark, so resetPeak() lowers it too).
double processPeakMb();

}  // namespace tovrin::bench
