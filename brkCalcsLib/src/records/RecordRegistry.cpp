#include "records/RecordRegistry.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <exception>
#include <memory>
#include <sstream>

#include "Logging/ClientText.h"
#include "Logging/Log.h"
#include "calendar/ExpirationTime.h"
#include "container/FixedText.h"
#include "rates/RateStore.h"
#include "records/HostCallbacks.h"
#include "records/OptionRecord.h"
#include "records/RecordProcessor.h"
#include "records/UnderlyingRecord.h"

namespace {

constexpr std::size_t kRootLength = 5;
constexpr std::size_t kMaxSymbolLength = 15;
constexpr std::size_t kIdMapRoom = 512000;
constexpr int kYieldCurveCapacity = 120;

const std::array<const char*, 32> kIndexNames = {
    "^AUM", "^AUX", "^AVSP", "^BKX", "^CDD", "^DJX",   "^EPX", "^EUI",   "^EUU", "^GBP", "^GVZ",
    "^HGX", "^MNX", "^NDX",  "^OEX", "^OSX", "^RUT",   "^SML", "^SOX",   "^SPX", "^SPXPM", "^UTY",
    "^VXEEM", "^VIX", "^XAU", "^XDA", "^XDB", "^XDC", "^XDE", "^XDS", "^XEO", "^XSP"};

std::string Truncated(const std::string& symbol) { return symbol.substr(0, kMaxSymbolLength); }

// "<old id> <symbol> <yyyy-mm-dd> <strike> <put flag>", the identity part of the creation log lines.
std::string Describe(const std::string& symbol, const DllDate& expiry, double strike, bool put) {
    std::ostringstream text;
    text << Logging::EscapeClientText(symbol) << ' ' << FormatDate(expiry) << ' ' << strike << ' ' << (put ? 1 : 0);
    return text.str();
}

}  // namespace

CRecordRegistry& CRecordRegistry::Instance() {
    static CRecordRegistry registry;
    return registry;
}

CRecordRegistry::CRecordRegistry() {
    m_optionIds.reserve(kIdMapRoom);
    m_underlyingIds.reserve(kIdMapRoom);
}

CBaseUnderlyingRecord* CRecordRegistry::CreateBrkUnderlyingRecord(const std::string& requestedSymbol,
                                                                  int64_t foreignId) {
    const std::string symbol = Truncated(requestedSymbol);
    CBaseUnderlyingRecord* record = nullptr;
    {
        std::lock_guard<std::mutex> creation(m_creationMutex);
        if (CBaseUnderlyingRecord* existing = FindUnderlyingRecord(symbol))
            return existing;
        try {
            LOG_SEV(info) << "CreateBrkUnderlyingRecord, " << Logging::EscapeClientText(symbol);
            auto created = std::make_unique<CBaseUnderlyingRecord>(symbol, CHostCallbacks::Instance().Dividends());
            const int id = m_underlyings.Push(created.get());
            if (id < 0) {
                LOG_SEV(error) << "CreateBrkUnderlyingRecord, the underlying registry cannot grow: "
                               << Logging::EscapeClientText(symbol);
                return nullptr;
            }
            created->SetInternalId(id);
            record = created.release();
            std::unique_lock<std::shared_mutex> lock(m_symbolLock);
            m_symbols[symbol] = record;
        } catch (const std::exception& e) {
            LOG_SEV(error) << "CreateBrkUnderlyingRecord unhandled exception:" << e.what();
            return nullptr;
        }
    }

    // The host answers on this thread and may call into the library: the creation mutex is free again.
    if (const PFN_YIELD_CURVE_CALLBACK yieldCurve = CHostCallbacks::Instance().YieldCurve()) {
        std::array<YieldCurvePoint, kYieldCurveCapacity> points{};
        const DllDate noDate{};
        const int count = yieldCurve(symbol.c_str(), &noDate, points.data(), kYieldCurveCapacity);
        CRateStore::Instance().SetYieldCurve(symbol.c_str(), points.data(), std::clamp(count, 0, kYieldCurveCapacity));
    }
    record->RegisterForeignId(static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(foreignId))));
    LOG_SEV(trace) << "new und rec: " << foreignId << " " << Logging::EscapeClientText(symbol);
    return record;
}

CBaseOptionRecord* CRecordRegistry::CreateBrkOptionRecord(const OptionKey& key, int64_t foreignId, int deliveryMode) {
    DllDate expiry{};
    expiry.year = static_cast<uint16_t>(key.year + 2000);
    bool put = false;
    if (key.monthCode >= 'A' && key.monthCode <= 'L') {
        expiry.month = static_cast<uint8_t>(key.monthCode - 'A' + 1);
    } else if (key.monthCode >= 'M' && key.monthCode <= 'X') {
        expiry.month = static_cast<uint8_t>(key.monthCode - 'M' + 1);
        put = true;
    }
    expiry.day = key.day;
    const double strike = key.strike * 0.001;
    const std::string root = FixedText(key.root, kRootLength);

    std::string symbol;
    if (const PFN_ROOT_TO_SYMBOL_CALLBACK rootToSymbol = CHostCallbacks::Instance().RootToSymbol()) {
        char buffer[16] = {};
        rootToSymbol(key.root, static_cast<int>(kRootLength), buffer, static_cast<int>(kMaxSymbolLength));
        symbol = FixedText(buffer, kMaxSymbolLength);
    } else {
        symbol = ResolveUnderlyingSymbol(key.root);
    }

    // A root that names no symbol has no underlying to belong to.
    CBaseUnderlyingRecord* underlying = nullptr;
    if (!symbol.empty()) {
        underlying = FindUnderlyingRecord(symbol);
        if (!underlying)
            underlying = CreateBrkUnderlyingRecord(symbol, -1);
    }

    if (underlying) {
        if (CBaseOptionRecord* existing = underlying->FindOptionRecord(root, put ? 1 : 0, expiry, strike)) {
            LOG_SEV(error) << "found prev option rec: " << existing->ForeignId() << " "
                           << Describe(symbol, expiry, strike, put) << ", new id:" << foreignId;
            return existing;
        }
    }

    // Until the option is linked into its group the registry slot is the only other reference to it:
    // a failure before then clears the slot and frees the record. Once linked, neighbours point at it,
    // so from there on the registry owns it whatever happens.
    std::unique_ptr<CBaseOptionRecord> option;
    int id = -1;
    try {
        option = std::make_unique<CBaseOptionRecord>(root, put ? 'p' : 'c', expiry, strike, deliveryMode, symbol);
        id = m_options.Push(option.get());
        if (id < 0) {
            LOG_SEV(error) << "CreateBrkOptionRecord, the option registry cannot grow, foreign id " << foreignId;
            return nullptr;
        }
        option->SetInternalId(id);

        if (!underlying) {
            LOG_SEV(warning) << "CreateBrkOptionRecord, if( pUnderlyingRecord && pUnderlyingRecord->ExcludedSymbol() == false ):"
                             << Logging::EscapeClientText(symbol);
            CBaseOptionRecord* record = option.release();
            record->SetForeignId(foreignId);
            return record;
        }

        bool european = underlying->IsIndex();
        const SExpiryKind kind = LookupExpiryKind(root, expiry, CHostCallbacks::Instance().ExpiryType(), european);
        option->SetEuropean(european);
        if (underlying->AttachOptionToUnderlying(option.get(), kind) < 0 || !option->m_pOptionGroup) {
            LOG_SEV(warning) << "CreateBrkOptionRecord, can't attach rec:" << foreignId << " "
                             << Describe(symbol, expiry, strike, put) << ". It'll be deleted";
            m_options.Slot(id)->store(nullptr);
            return nullptr;
        }
        CBaseOptionRecord* record = option.release();
        // Mapped only now: a failed creation leaves the id free for the next attempt.
        record->SetForeignId(foreignId);
        LOG_SEV(trace) << "new option rec: " << foreignId << " " << Describe(symbol, expiry, strike, put);
        return record;
    } catch (...) {
        if (option && id >= 0)
            m_options.Slot(id)->store(nullptr);
        LOG_SEV(error) << "new CBaseOptionRecord unhandled exception: foreignid" << foreignId;
        return nullptr;
    }
}

CBaseUnderlyingRecord* CRecordRegistry::FindUnderlyingRecord(const std::string& symbol) const {
    std::shared_lock<std::shared_mutex> lock(m_symbolLock);
    const auto found = m_symbols.find(Truncated(symbol));
    return found == m_symbols.end() ? nullptr : found->second;
}

std::optional<int> CRecordRegistry::FindOptionIndexByForeignId(int64_t foreignId) const {
    std::shared_lock<std::shared_mutex> lock(m_optionIdLock);
    const auto found = m_optionIds.find(foreignId);
    if (found == m_optionIds.end())
        return std::nullopt;
    return found->second;
}

CBaseOptionRecord* CRecordRegistry::FindOptionByForeignId(int64_t foreignId) const {
    const auto index = FindOptionIndexByForeignId(foreignId);
    return index ? GetOptionRecordSlot(*index) : nullptr;
}

CBaseOptionRecord* CRecordRegistry::GetOptionRecordSlot(int internalId) const {
    const auto* slot = m_options.Slot(internalId);
    return slot ? slot->load() : nullptr;
}

void CRecordRegistry::MapOptionForeignId(int64_t foreignId, int internalId) {
    std::unique_lock<std::shared_mutex> lock(m_optionIdLock);
    m_optionIds[foreignId] = internalId;
}

void CRecordRegistry::MapUnderlyingId(int32_t id, int internalId) {
    std::unique_lock<std::shared_mutex> lock(m_underlyingIdLock);
    m_underlyingIds[id] = internalId;
}

void CRecordRegistry::AddRootMapping(const std::string& symbol, const std::string& root) {
    std::unique_lock<std::shared_mutex> lock(m_rootLock);
    m_roots[root] = Truncated(symbol);
}

std::string CRecordRegistry::ResolveUnderlyingSymbol(const char* root) const {
    if (!root)
        return std::string();
    const std::string key = FixedText(root, kRootLength);
    {
        std::shared_lock<std::shared_mutex> lock(m_rootLock);
        const auto found = m_roots.find(key);
        if (found != m_roots.end())
            return found->second;
    }
    // The symbol ends at the root's first digit.
    const auto digit = std::find_if(key.begin(), key.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
    std::string symbol(key.begin(), digit);
    if (symbol.empty())
        return symbol;
    if (symbol.rfind("SPXW", 0) == 0 || symbol.rfind("SPXQ", 0) == 0 || symbol.rfind("SPYJ", 0) == 0)
        symbol.resize(3);
    for (const char* index : kIndexNames)
        if (symbol == index + 1)
            return index;
    return symbol;
}

template <class Record>
std::size_t CRecordRegistry::DeleteAll(Registry<Record>& registry) {
    std::size_t released = 0;
    const int size = static_cast<int>(registry.Size());
    for (int i = 0; i < size; ++i) {
        if (Record* record = registry.Slot(i)->exchange(nullptr)) {
            delete record;
            ++released;
        }
    }
    registry.Destroy();
    return released;
}

CRecordRegistry::~CRecordRegistry() {
    DeleteAll(m_underlyings);
    DeleteAll(m_options);
}

bool CRecordRegistry::ReleaseAllRecords() {
    return CRecordProcessor::Instance().ReleaseWhileIdle([this] {
        {
            std::unique_lock<std::shared_mutex> symbols(m_symbolLock);
            m_symbols.clear();
        }
        {
            std::unique_lock<std::shared_mutex> roots(m_rootLock);
            m_roots.clear();
        }
        // Nothing may find a record through an id once its deletion starts.
        {
            std::unique_lock<std::shared_mutex> ids(m_optionIdLock);
            m_optionIds.clear();
        }
        {
            std::unique_lock<std::shared_mutex> ids(m_underlyingIdLock);
            m_underlyingIds.clear();
        }
        const std::size_t underlyings = DeleteAll(m_underlyings);
        LOG_SEV(info) << underlyings << " underlying records were released";
        const std::size_t options = DeleteAll(m_options);
        LOG_SEV(info) << options << " option records were released";
    });
}
