// Expiry types per option root: AM settlement, European exercise and closing time, keyed by the
// root followed by the expiry character ("S" standard monthly, "W" weekly, "Q" quarterly).
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "brkCalcsLib.h"

struct SExpiryType {
    bool m_bAmSettled = false;
    bool m_bEuropean = false;
    uint16_t m_closingMinutes = 0;  // minutes after midnight
};

// "HH:MM" (anything after the minutes is ignored) as minutes after midnight.
int ParseClosingMinutes(const std::string& text);

class CExpiryTypeTable {
public:
    static constexpr std::size_t kMaxRootLength = 15;

    static CExpiryTypeTable& Instance();

    // Inserts or replaces the type of root + expiry. A root over 15 characters or an expiry other
    // than 'Q', 'S', 'W' is refused with a line on standard output.
    bool AddExpiryType(const std::string& root, const std::string& closingTime, char expiry, char amSettled,
                       char european);
    // AM-settled, European, closing 16:15 for DJX, VIX and RUT with each of S, W, Q.
    void AddDefaultExpiryTypes();
    // For an expiry code 0, 1 or 2 (EExpiryCode) of a known root: writes both flags, true.
    bool FindExpiryType(const std::string& root, bool& european, int code, bool& amSettled) const;
    std::optional<SExpiryType> Lookup(const std::string& root, char expiry) const;
    void ClearExpiryTypes();
    // The host's table: replaces every entry by the given ones followed by the defaults, in one
    // step for concurrent readers. A null list or count <= 0 leaves only the defaults.
    void ReplaceExpiryTypes(const ExpiryTypeEntry* entries, int count);

private:
    // djb2 over the key's characters taken as signed chars.
    struct SKeyHash {
        std::size_t operator()(const std::string& key) const;
    };
    using Map = std::unordered_map<std::string, SExpiryType, SKeyHash>;

    static bool Insert(Map& types, const std::string& root, const std::string& closingTime, char expiry,
                       char amSettled, char european);
    static void InsertDefaults(Map& types);

    mutable std::mutex m_mutex;
    Map m_types;
};
