// macOS's own signature, not Linux's: removexattr(2) in macOS's manual pages
// (man 2 removexattr), which takes options such as XATTR_NOFOLLOW.
#pragma once
#include <stddef.h>
#define XATTR_NOFOLLOW 0x0001
extern "C" int removexattr(const char* path, const char* name, int options);
