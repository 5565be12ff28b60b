#include "core/search/BackgroundSearch.h"

namespace vendrix {

WorkQueue& searchQueue() { return WorkQueue::shared(); }

} // namespace vendrix
