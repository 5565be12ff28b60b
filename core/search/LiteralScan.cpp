#include "core/search/LiteralScan.h"

#include <atomic>

namespace vendrix::literalScan {

namespace {
std::atomic<bool> avx2Allowed{true};
}

bool hasAvx2() {
#ifdef VENDRIX_LITERAL_SCAN_X86
    static const bool supported = __builtin_cpu_supports("avx2") != 0;
    return supported && avx2Allowed.load(std::memory_order_relaxed);
#else
    return false;
#endif
}

void allowAvx2(bool allowed) { avx2Allowed.store(allowed, std::memory_order_relaxed); }

} // namespace vendrix::literalScan
