#include "core/search/BackgroundSearch.h"

#include <algorithm>
#include <thread>

namespace vendrix {

WorkQueue& searchQueue() {
    static WorkQueue queue("vendrix.search", std::max(2u, std::thread::hardware_concurrency()));
    return queue;
}

} // namespace vendrix
