#include "core/search/LiteralScan.h"

namespace vendrix::literalScan {

bool hasAvx2() {
#ifdef VENDRIX_LITERAL_SCAN_X86
    static const bool supported = __builtin_cpu_supports("avx2") != 0;
    return supported;
#else
    return false;
#endif
}

} // namespace vendrix::literalScan
