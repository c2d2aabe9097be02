#include "provider.h"

namespace ado {

bool MemoryRows::next(uint64_t& key, std::vector<Value>* values) {
    if (next_ >= rows_.size()) return false;
    key = next_;
    if (values) *values = rows_[next_];
    ++next_;
    return true;
}

}  // namespace ado
