#pragma once
// How many processors this process may run on.

namespace kivo {

// The processors in this process's affinity mask (taskset, cgroup cpusets),
// not all the machine has; at least 1.
unsigned UsableCpuCount();

}  // namespace kivo
