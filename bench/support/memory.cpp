#include "memory.h"

#include <sys/resource.h>
#include <unistd.h>

#include <fstream>
#include <string>

namespace tovrin::bench {

double residentMb() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * double(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

double peakMb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    }
    return -1;
}

void resetPeak() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
}

double processPeakMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

}  // namespace tovrin::bench
