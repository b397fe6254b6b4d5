// Owns every record: creates underlyings and options, gives each its internal id, keeps the lookup
// maps, resolves option roots to underlying symbols, and releases everything on clean-up.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <boost/unordered_map.hpp>

#include "brkCalcsLib.h"
#include "container/SegmentedArray.h"

class CBaseOptionRecord;
class CBaseUnderlyingRecord;

class CRecordRegistry {
public:
    static CRecordRegistry& Instance();

    // The underlying of the symbol, created (with its yield curve from the host) when absent.
    CBaseUnderlyingRecord* CreateBrkUnderlyingRecord(const std::string& symbol, int64_t foreignId);
    // A new option, or the registered one with the same root, type, expiry and strike; null on failure.
    CBaseOptionRecord* CreateBrkOptionRecord(const OptionKey& key, int64_t foreignId, int deliveryMode);

    CBaseUnderlyingRecord* FindUnderlyingRecord(const std::string& symbol) const;
    std::optional<int> FindOptionIndexByForeignId(int64_t foreignId) const;
    CBaseOptionRecord* FindOptionByForeignId(int64_t foreignId) const;
    CBaseOptionRecord* GetOptionRecordSlot(int internalId) const;

    void MapOptionForeignId(int64_t foreignId, int internalId);
    void MapUnderlyingId(int32_t id, int internalId);

    // root -> symbol; an earlier entry for the root is replaced.
    void AddRootMapping(const std::string& symbol, const std::string& root);
    // The underlying symbol of an option root (at most 5 characters): the root map, else the
    // library's rules. Empty when the root names nothing.
    std::string ResolveUnderlyingSymbol(const char* root) const;

    // Releases every record once no calculation runs; queued calculations become no-ops. False (and
    // nothing released) when called from inside a calculation, such as a result callback.
    bool ReleaseAllRecords();

private:
    CRecordRegistry();
    // The registry owns its records: those a host never released go at process exit (the processing
    // threads are stopped by then).
    ~CRecordRegistry();

    template <class Record>
    using Registry = CSegmentedArray<std::atomic<Record*>>;

    template <class Record>
    static std::size_t DeleteAll(Registry<Record>& registry);

    Registry<CBaseOptionRecord> m_options;
    Registry<CBaseUnderlyingRecord> m_underlyings;

    mutable std::shared_mutex m_optionIdLock;
    boost::unordered_map<int64_t, int> m_optionIds;
    mutable std::shared_mutex m_underlyingIdLock;
    boost::unordered_map<int32_t, int> m_underlyingIds;
    mutable std::shared_mutex m_symbolLock;
    boost::unordered_map<std::string, CBaseUnderlyingRecord*> m_symbols;
    mutable std::shared_mutex m_rootLock;
    boost::unordered_map<std::string, std::string> m_roots;

    std::mutex m_creationMutex;
};
