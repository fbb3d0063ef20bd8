#pragma once

// SB_SANITIZED_ALLOCATION is defined in a build whose allocations the
// address sanitizer watches: there the program keeps the C++ runtime's
// operator new (large_blocks.cc), which the sanitizer replaces.

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SB_SANITIZED_ALLOCATION 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define SB_SANITIZED_ALLOCATION 1
#endif
