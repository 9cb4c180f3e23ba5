// developer.apple.com/documentation/kernel/1387446-sysctlbyname
// (glibc no longer ships this header; macOS declares it so.)
#pragma once
#include <stddef.h>
extern "C" int sysctlbyname(const char* name, void* oldp, size_t* oldlenp, void* newp,
                            size_t newlen);
