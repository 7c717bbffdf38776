// The small 32-bit handle numbers every backend gives out for its open devices, mapped to
// whatever the backend keeps per device. A closed handle is forgotten, so a stale one finds
// nothing instead of freed memory.
#pragma once

#include "link/driver.h"

#include <map>
#include <utility>
#include <vector>

namespace qeltx::link {

template <typename T>
class HandleTable {
public:
    // Adds an entry under a handle that is neither 0 nor in use.
    FtHandle add(T value) {
        do {
            ++last_;
        } while (last_ == 0 || entries_.count(last_) != 0);
        entries_.emplace(last_, std::move(value));
        return last_;
    }

    // The entry of an open handle, or null.
    T* find(FtHandle handle) {
        const auto it = entries_.find(handle);
        return it == entries_.end() ? nullptr : &it->second;
    }

    void erase(FtHandle handle) { entries_.erase(handle); }

    std::vector<FtHandle> handles() const {
        std::vector<FtHandle> out;
        for (const auto& entry : entries_) out.push_back(entry.first);
        return out;
    }

    bool empty() const { return entries_.empty(); }

private:
    std::map<FtHandle, T> entries_;
    FtHandle last_ = 0;
};

}  // namespace qeltx::link
