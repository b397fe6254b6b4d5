#include "calcdll_api/AsyncResults.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <map>
#include <mutex>
#include <vector>

#include "CalcDll/BrkCalcDll.h"
#include "calcdll_api/CallbackGuard.h"
#include "calcdll_api/DllBridge.h"
#include "packets/PacketTypes.h"

namespace {

using Bridge::AsyncOptionResult;

// Per foreign id, the newest result not collected yet; ascending id order is the packet's order.
std::mutex resultsMutex;
std::map<std::int64_t, AsyncOptionResult> pendingResults;

// Writes little-endian values one after the other into a buffer the caller sized.
class PacketWriter {
public:
    explicit PacketWriter(std::uint8_t* at) : m_at(at) {}

    template <class T>
    void put(T value) {
        std::memcpy(m_at, &value, sizeof value);
        m_at += sizeof value;
    }
    void putFloat(double value) { put(static_cast<float>(value)); }

private:
    std::uint8_t* m_at;
};

void writeEntry(PacketWriter& out, const AsyncOptionResult& entry) {
    const OptionResult& r = entry.result;
    const OptionCalcInputs& in = entry.inputs;
    out.put(entry.foreignId);
    out.putFloat(r.delta);
    out.putFloat(r.gamma);
    out.putFloat(r.rho);
    out.putFloat(r.vega);
    out.putFloat(r.theta);
    out.putFloat(r.askIV * 100.0);
    out.putFloat(r.bidIV * 100.0);
    out.putFloat(r.midIV * 100.0);
    out.putFloat(r.theo);
    out.putFloat(r.probabilityITM);
    out.putFloat(in.carry);
    out.putFloat(in.dividendAmount);
    out.putFloat(in.dividendTime);
    out.put(in.model);
    out.putFloat(in.midIV);
    out.putFloat(in.rate);
    out.putFloat(in.underlyingPrice);
    out.putFloat(in.timeToExpiration);
    out.putFloat(in.volatility * 100.0);
}

template <class It>
std::vector<std::uint8_t> resultsPacket(It first, It last, std::size_t n) {
    std::vector<std::uint8_t> packet(Bridge::RESULTS_PACKET_HEAD_SIZE + Bridge::RESULT_ENTRY_SIZE * n);
    PacketWriter out(packet.data());
    out.put(static_cast<std::uint32_t>(Packets::RESULT_CALC_OPTIONS_THEOS_AND_GREEKS));
    out.put(std::uint32_t{0});
    out.put(static_cast<std::uint32_t>(packet.size()));
    for (int i = 0; i < 4; ++i)
        out.put(std::uint32_t{0});  // the packet answers no request
    out.put(static_cast<std::uint32_t>(n));
    for (; first != last; ++first)
        writeEntry(out, first->second);
    return packet;
}

}  // namespace

void calcDllMessageCallback(const void* data, int kind, int internalId, int foreignIdLow, int foreignIdHigh) {
    if (kind != eResultOption || !data)
        return;
    Bridge::guardedCallback("calcDllMessageCallback", 0, [&] {
        AsyncOptionResult entry{};
        std::memcpy(&entry.result, data, sizeof entry.result);
        CBrkCalcDll::Instance().RequestOptionCalcInputs(static_cast<std::int64_t>(internalId), &entry.inputs);
        entry.foreignId = static_cast<std::int64_t>((static_cast<std::uint64_t>(static_cast<std::uint32_t>(foreignIdHigh)) << 32) |
                                                    static_cast<std::uint32_t>(foreignIdLow));
        std::lock_guard<std::mutex> lock(resultsMutex);
        pendingResults[entry.foreignId] = entry;
        return 0;
    });
}

void takeAsyncResults(std::vector<std::vector<std::uint8_t>>& packets) {
    std::map<std::int64_t, AsyncOptionResult> taken;
    {
        std::lock_guard<std::mutex> lock(resultsMutex);
        taken.swap(pendingResults);
    }
    auto first = taken.begin();
    std::size_t left = taken.size();
    while (left > 0) {
        const std::size_t n = std::min(left, Bridge::MAX_RESULTS_PER_PACKET);
        auto last = std::next(first, static_cast<std::ptrdiff_t>(n));
        packets.push_back(resultsPacket(first, last, n));
        first = last;
        left -= n;
    }
}

void wakeAsyncResults() {
    std::map<std::int64_t, AsyncOptionResult> dropped;
    std::lock_guard<std::mutex> lock(resultsMutex);
    dropped.swap(pendingResults);
}
