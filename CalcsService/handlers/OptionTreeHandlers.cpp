#include "handlers/OptionTreeHandlers.h"

#include <sstream>
#include <string>

#include "Logging/ClientText.h"
#include "Logging/Log.h"
#include "calcdll_api/IndividualOptionsFeed.h"
#include "calcdll_api/OptionKeys.h"
#include "calcdll_api/SettingsFeed.h"
#include "handlers/HandlerGuard.h"
#include "models/Calculations.h"
#include "models/RequestStop.h"
#include "packets/OptionTreePacket.h"
#include "packets/RequestLimits.h"

namespace Handlers {

namespace {

using Packets::Incoming::OptionTreeExpiration;
using Packets::Incoming::OptionTreeHead;
using Packets::Incoming::OptionTreeStrikeRecord;

// Registers what the walk reports and writes the tree's lines; `prefix` starts each line.
class TreeRegistration : public Packets::Incoming::OptionTreeVisitor {
public:
    TreeRegistration(const OptionTreeHead& head, const char* prefix)
        : m_head(head), m_prefix(prefix), m_expirations(head.expirationCount) {}

    void expiration(const OptionTreeExpiration& expiry) override {
        describe(expiry);
        m_total += expiry.optionCount;
    }

    void strike(const OptionTreeExpiration& expiry, const OptionTreeStrikeRecord& record) override {
        models::giveWayIfStopping();
        describe(record);
        OptionTreeStrike strike;
        strike.year = expiry.year;
        strike.month = expiry.month;
        strike.day = expiry.day;
        strike.strike = record.strike;
        strike.deliveryMode = record.deliveryMode;
        strike.callId = record.callId;
        strike.putId = record.putId;
        registerOptionPair(m_head.root, strike);
    }

    void invalidExpiration(const OptionTreeExpiration& expiry) override {
        describe(expiry);
        LOG_SEV(error) << m_prefix << "invalid data (expiry) skip packet, expiryYear: " << expiry.year
                       << ", expiryDay:" << static_cast<int>(expiry.day)
                       << ", optionsInExpiryCount:" << expiry.optionCount;
    }

    void invalidStrike(const OptionTreeExpiration&, const OptionTreeStrikeRecord& record) override {
        describe(record);
        LOG_SEV(error) << m_prefix << "invalid data (option) skip packet; callId:" << record.callId
                       << ", putId:" << record.putId << ", strike:" << record.strike;
        m_expirations = 0;  // the summary reports an interrupted tree with no expirations
    }

    // symbol,root, expirations:n, options:m and one line per expiration and per its strikes.
    std::string summary() const {
        std::ostringstream text;
        text << m_prefix << Logging::EscapeClientText(m_head.symbol) << "," << Logging::EscapeClientText(m_head.root)
             << ", expirations:" << m_expirations << ", options:" << m_total << m_detail.str();
        return text.str();
    }

private:
    void describe(const OptionTreeExpiration& expiry) {
        m_detail << "\n\t" << expiry.year << '/' << expiry.month + 1 << '/' << static_cast<int>(expiry.day);
        m_firstStrike = true;
    }
    void describe(const OptionTreeStrikeRecord& record) {
        if (m_firstStrike)
            m_detail << "\n\t";
        m_firstStrike = false;
        m_detail << record.strike << ' ' << static_cast<char>(record.deliveryMode) << '(' << record.callId << ','
                 << record.putId << ") ";
    }

    const OptionTreeHead& m_head;
    const char* m_prefix;
    std::int32_t m_expirations;
    std::int64_t m_total = 0;
    bool m_firstStrike = false;
    std::ostringstream m_detail;
};

// Sets the library's date from the request, registers the tree, logs its summary at `level` and
// applies the underlying's stock settings when it has any. A tree of more strikes than one request may
// register is refused whole.
void buildTree(Packets::RequestStream& request, bool wideIds, const char* prefix, Logging::Log::severity_level level) {
    OptionTreeHead head;
    Packets::Incoming::readOptionTreeHead(request, head);
    const std::uint64_t strikes = Packets::Incoming::countOptionTreeStrikes(request, head, wideIds);
    if (strikes > Packets::Incoming::MAX_OPTION_TREE_REQUEST_STRIKES) {
        LOG_SEV(error) << (wideIds ? "BUILD_OPTION_TREEv3" : "BUILD_OPTION_TREE") << " request for "
                       << Logging::EscapeClientText(head.symbol) << "," << Logging::EscapeClientText(head.root)
                       << " of " << head.expirationCount << " expirations and " << strikes << " strikes: more than "
                       << Packets::Incoming::MAX_OPTION_TREE_REQUEST_STRIKES << ", refused";
        return;
    }
    setGlobalDate(head.date);
    TreeRegistration registration(head, prefix);
    Packets::Incoming::walkOptionTree(request, head, wideIds, registration);
    BOOST_LOG_SEV(Logging::ups_logger::get(), level) << registration.summary();
    if (models::StockSettingsData* settings = CalculationsSingleton::get_mutable_instance().findSettings(head.symbol))
        setSettings(head.symbol, *settings);
}

}  // namespace

void BuildOptionsTreeHandler::handle(Packets::RequestStream& request, std::vector<std::uint8_t>& reply,
                                     const std::vector<std::uint8_t>&) {
    LOG_SCOPE("BuildOptionsTreeHandler");
    try {
        dropIfStopped("BuildOptionsTreeHandler", reply, [&] { buildTree(request, false, "", Logging::Log::info); });
    } catch (...) {
        // The scope names the handler.
        LOG_SEV(fatal) << "cauth unknown exception, SEH?";
    }
}

void v3::BuildOptionsTreeHandler::handle(Packets::RequestStream& request, std::vector<std::uint8_t>& reply,
                                         const std::vector<std::uint8_t>&) {
    runGuarded("BuildOptionsTreeHandler", reply,
               [&] { buildTree(request, true, "BuildOptionsTreeHandler::handle, ", Logging::Log::debug); });
}

}  // namespace Handlers
