// What every backend keeps the same way: the small 32-bit handle numbers it gives out for its
// open devices, and the devices it found at its last listing, asked about by index.
#pragma once

#include "link/driver.h"

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace qeltx::link {

// Handles mapped to whatever the backend keeps per open device. A closed handle is forgotten,
// so a stale one finds nothing instead of freed memory.
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

    // For a table of owning pointers: the object behind an open handle, or null.
    auto* object(FtHandle handle) {
        T* entry = find(handle);
        return entry ? entry->get() : nullptr;
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

// One text of the device at `index` in a backend's last listing: `field` names the member of
// its entries (their serial number or description). FT_DEVICE_NOT_FOUND past the end.
template <typename Entry>
FtStatus listedText(const std::vector<Entry>& listed, std::uint32_t index, std::string Entry::*field,
                    std::string& out) {
    if (index >= listed.size()) return core::FT_DEVICE_NOT_FOUND;
    out = listed[index].*field;
    return core::FT_OK;
}

// The first entry of a listing (const or not) with this serial number, or null.
template <typename Listing>
auto* listedBySerial(Listing& listed, const std::string& serial) {
    decltype(&*listed.begin()) none = nullptr;
    for (auto& entry : listed) {
        if (entry.serial == serial) return &entry;
    }
    return none;
}

}  // namespace qeltx::link
