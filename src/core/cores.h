// How many cores this process may run on.
#pragma once

namespace pixtrel {

// The cores the process is allowed to use (its CPU affinity, which batch
// schedulers and taskset narrow), at least 1; the machine's count where the
// affinity cannot be read.
int UsableCores();

}  // namespace pixtrel
