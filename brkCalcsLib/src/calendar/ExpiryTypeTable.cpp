#include "calendar/ExpiryTypeTable.h"

#include <cstdio>
#include <cstdlib>

#include "calendar/ExpiryCode.h"
#include "container/FixedText.h"

namespace {

const char kExpiryCharacters[] = {'S', 'W', 'Q'};  // by expiry code

}  // namespace

int ParseClosingMinutes(const std::string& text) {
    const int minutes = text.size() >= 3 ? std::atoi(text.c_str() + 3) : 0;
    return 60 * std::atoi(text.c_str()) + minutes;
}

std::size_t CExpiryTypeTable::SKeyHash::operator()(const std::string& key) const {
    std::size_t h = 5381;
    for (char c : key)
        h = h * 33 + static_cast<std::size_t>(static_cast<signed char>(c));
    return h;
}

CExpiryTypeTable& CExpiryTypeTable::Instance() {
    static CExpiryTypeTable table;
    return table;
}

bool CExpiryTypeTable::Insert(Map& types, const std::string& root, const std::string& closingTime, char expiry,
                              char amSettled, char european) {
    if (root.size() > kMaxRootLength || (expiry != 'Q' && expiry != 'S' && expiry != 'W')) {
        std::printf("Cannot add invalid expiry type for root:%s expiry:%c am_settled:%c is_european:%c closing_time:%s\n",
                    root.c_str(), expiry, amSettled, european, closingTime.c_str());
        return false;
    }
    SExpiryType type;
    type.m_bAmSettled = amSettled == '1';
    type.m_bEuropean = european == '1';
    type.m_closingMinutes = static_cast<uint16_t>(ParseClosingMinutes(closingTime));
    types[root + expiry] = type;
    return true;
}

void CExpiryTypeTable::InsertDefaults(Map& types) {
    for (const char* root : {"DJX", "VIX", "RUT"})
        for (char expiry : kExpiryCharacters)
            Insert(types, root, "16:15:00", expiry, '1', '1');
}

bool CExpiryTypeTable::AddExpiryType(const std::string& root, const std::string& closingTime, char expiry,
                                     char amSettled, char european) {
    std::lock_guard<std::mutex> lock(m_mutex);
    return Insert(m_types, root, closingTime, expiry, amSettled, european);
}

void CExpiryTypeTable::AddDefaultExpiryTypes() {
    std::lock_guard<std::mutex> lock(m_mutex);
    InsertDefaults(m_types);
}

std::optional<SExpiryType> CExpiryTypeTable::Lookup(const std::string& root, char expiry) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto found = m_types.find(root + expiry);
    if (found == m_types.end())
        return std::nullopt;
    return found->second;
}

bool CExpiryTypeTable::FindExpiryType(const std::string& root, bool& european, int code, bool& amSettled) const {
    if (root.size() > kMaxRootLength || code < eExpiryStandard || code > eExpiryQuarterly)
        return false;
    const auto type = Lookup(root, kExpiryCharacters[code]);
    if (!type)
        return false;
    amSettled = type->m_bAmSettled;
    european = type->m_bEuropean;
    return true;
}

void CExpiryTypeTable::ClearExpiryTypes() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_types.clear();
}

void CExpiryTypeTable::ReplaceExpiryTypes(const ExpiryTypeEntry* entries, int count) {
    Map types;
    for (int i = 0; entries && i < count; ++i) {
        const ExpiryTypeEntry& e = entries[i];
        Insert(types, FixedText(e.root, sizeof e.root), FixedText(e.closingTime, sizeof e.closingTime), e.expiry,
               e.amSettled, e.european);
    }
    InsertDefaults(types);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_types.swap(types);
}
