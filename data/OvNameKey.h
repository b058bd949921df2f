// Hashing of names for the maps of the cache and the queue. Keys are the
// descriptors' own strings (copies share their buffer), so neither filing nor
// looking up a name allocates.
#ifndef ORVANE_DATA_OVNAMEKEY_H
#define ORVANE_DATA_OVNAMEKEY_H

#include <cstddef>
#include <string_view>

#include "OvTypes.h"

struct OvNameHash {
    std::size_t operator()(const COvString& name) const {
        return std::hash<std::string_view>{}(
            std::string_view(name, static_cast<std::size_t>(name.GetLength())));
    }
};

struct OvNameEqual {
    bool operator()(const COvString& a, const COvString& b) const { return a == b; }
};

#endif
