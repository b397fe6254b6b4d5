#include "calcdll_api/UserVolatilityCache.h"

#include <mutex>

#include <boost/unordered_map.hpp>

#include "calcdll_api/CallbackGuard.h"

namespace {

// Written and read on the session's worker thread; the lock keeps a clear at disconnect from
// overlapping a late callback.
std::mutex cacheMutex;
boost::unordered_map<std::int64_t, double> userVolatilityCache;

}  // namespace

int getUserVolatilityCallback(std::int64_t foreignId, double* volatility) {
    return Bridge::guardedCallback("getUserVolatilityCallback", 0, [&] {
        std::lock_guard<std::mutex> lock(cacheMutex);
        const auto found = userVolatilityCache.find(foreignId);
        if (found == userVolatilityCache.end() || !volatility)
            return 0;
        *volatility = found->second;
        return 1;
    });
}

namespace Bridge {

void storeUserVolatility(std::int64_t foreignId, double percent) {
    std::lock_guard<std::mutex> lock(cacheMutex);
    userVolatilityCache[foreignId] = percent / 100.0;
}

void clearUserVolatilities() {
    boost::unordered_map<std::int64_t, double> dropped;
    std::lock_guard<std::mutex> lock(cacheMutex);
    dropped.swap(userVolatilityCache);
}

}  // namespace Bridge
