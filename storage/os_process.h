// Process and time services of the Linux platform layer.
#pragma once

#include <cstdint>
#include <string>

namespace rudira {

// Milliseconds from a monotonic clock (unaffected by changes of the wall
// clock); only differences are meaningful.
uint64_t OsTickCount();

// The calling thread's id (the kernel thread id).
uint32_t OsCurrentThreadId();

// Sleeps the calling thread for milliseconds.
void OsSleep(uint32_t milliseconds);

// The temporary-files directory, with a trailing "/".
std::string OsTempDirectory();

// The process's current directory, with a trailing "/"; empty if unknown.
std::string OsCurrentDirectory();

// The platform's name and version, e.g. "Linux 6.1.0".
std::string OsPlatformVersion();

}  // namespace rudira
