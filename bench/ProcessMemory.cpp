#include "ProcessMemory.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace quillory::bench {

// Read with stdio: QFile takes the zero size procfs reports for the end of the file.
double ProcessMemory::statusMegabytes(const char *field)
{
    std::FILE *status = std::fopen("/proc/self/status", "r");
    if (status == nullptr)
        return -1;
    const std::size_t length = std::strlen(field);
    char line[256];
    double megabytes = -1;
    while (std::fgets(line, sizeof line, status) != nullptr) {
        if (std::strncmp(line, field, length) == 0 && line[length] == ':') {
            megabytes = std::strtod(line + length + 1, nullptr) / 1024.0;
            break;
        }
    }
    std::fclose(status);
    return megabytes;
}

bool ProcessMemory::resetPeak()
{
    std::FILE *refs = std::fopen("/proc/self/clear_refs", "w");
    if (refs == nullptr)
        return false;
    const bool written = std::fputs("5", refs) >= 0;
    return std::fclose(refs) == 0 && written;
}

} // namespace quillory::bench
