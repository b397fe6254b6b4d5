#include "calcdll_api/AsyncResults.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <map>
#include <mutex>
#include <vector>

#include "CalcDll/BrkCalcDll.h"
#include "calcdll_api/CallbackGuard.h"
#include "calcdll_api/DllBridge.h"
#include "packets/PacketHeader.h"
#include "packets/PacketTypes.h"
#include "packets/ReplyWriter.h"

namespace {

using Bridge::AsyncOptionResult;

// Per foreign id, the newest result not collected yet; ascending id order is the packet's order.
std::mutex resultsMutex;
std::map<std::int64_t, AsyncOptionResult> pendingResults;

void putFloat(Packets::Outgoing::ReplyWriter& out, double value) { out.put(static_cast<float>(value)); }

void writeEntry(Packets::Outgoing::ReplyWriter& out, const AsyncOptionResult& entry) {
    const OptionResult& r = entry.result;
    const OptionCalcInputs& in = entry.inputs;
    out.put(entry.foreignId);
    for (double value : {r.delta, r.gamma, r.rho, r.vega, r.theta, r.askIV * 100.0, r.bidIV * 100.0, r.midIV * 100.0,
                         r.theo, r.probabilityITM, in.carry, in.dividendAmount, in.dividendTime})
        putFloat(out, value);
    out.put(in.model);
    for (double value : {in.midIV, in.rate, in.underlyingPrice, in.timeToExpiration, in.volatility * 100.0})
        putFloat(out, value);
}

template <class It>
std::vector<std::uint8_t> resultsPacket(It first, It last, std::size_t n) {
    static const std::vector<std::uint8_t> noRequest(Packets::REQUEST_ID_SIZE, 0);  // the packet answers no request
    std::vector<std::uint8_t> packet;
    Packets::Outgoing::ReplyWriter out(packet, Packets::RESULT_CALC_OPTIONS_THEOS_AND_GREEKS, 0,
                                       Bridge::RESULTS_PACKET_HEAD_SIZE + Bridge::RESULT_ENTRY_SIZE * n, noRequest);
    out.put(static_cast<std::uint32_t>(n));
    for (; first != last; ++first)
        writeEntry(out, first->second);
    out.finish();
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
