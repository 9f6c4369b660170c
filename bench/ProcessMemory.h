#pragma once

namespace quillory::bench {

// What the kernel says about this process's memory.
class ProcessMemory final
{
public:
    // A field of /proc/self/status ("VmRSS", "VmHWM"), in megabytes; -1 when unreadable.
    static double statusMegabytes(const char *field);
    // Lets VmHWM start again from the current resident size; false when it cannot.
    static bool resetPeak();
};

} // namespace quillory::bench
