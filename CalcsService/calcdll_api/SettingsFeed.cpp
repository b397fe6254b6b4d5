#include "calcdll_api/SettingsFeed.h"

#include <algorithm>
#include <limits>
#include <mutex>
#include <shared_mutex>
#include <sstream>
#include <vector>

#include "CalcDll/BrkCalcDll.h"
#include "Logging/ClientText.h"
#include "Logging/Log.h"
#include "calcdll_api/CallbackGuard.h"
#include "calcdll_api/LibraryText.h"
#include "calcdll_api/WireTime.h"
#include "models/Calculations.h"

namespace {

using models::StockSettingsData;

// Dividends are taken from the close of the tape date to the close of the expiration date.
constexpr int kWindowHour = 16;
constexpr int kWindowMinute = 15;

// What the library gets of one symbol's settings, copied under the record's lock so that the library
// (which calls back into the bridge) is never called with the lock held.
struct YieldCurve {
    std::size_t expirations = 0;
    bool useUserRates = false;
    std::vector<YieldCurvePoint> points;
};

// One point per expiration with a local date, in the settings' order, at most `capacity`.
YieldCurve yieldCurveOf(const std::string& symbol, const StockSettingsData& settings, std::size_t capacity) {
    std::shared_lock<std::shared_mutex> lock(*settings.settingsMutex);
    YieldCurve curve;
    curve.expirations = settings.expirations.size();
    curve.useUserRates = settings.useUserInputs;
    const bool secondRate = settings.useUserInputs && settings.ratesSource == 1;
    for (const double expiration : settings.expirations) {
        if (curve.points.size() >= capacity)
            break;
        const auto date = Bridge::localDateOf(expiration);
        if (!date) {
            LOG_SEV(warning) << "yield curve of " << Logging::EscapeClientText(symbol) << ": expiration " << expiration
                             << " ms skipped";
            continue;
        }
        const models::ExpirationFigures* figures = settings.figuresAt(expiration);
        YieldCurvePoint point{};
        point.dRate = figures ? figures->rate1 : 0.0;
        point.dRate2 = secondRate ? (figures ? figures->rate2 : 0.0) : point.dRate;
        point.date = *date;
        curve.points.push_back(point);
    }
    return curve;
}

// "2015/1/16" or, with '-', "2015-1-16".
std::string text(const DllDate& date, char separator) {
    std::ostringstream os;
    os << date.year << separator << static_cast<int>(date.month) << separator << static_cast<int>(date.day);
    return os.str();
}

}  // namespace

void setSettings(const std::string& symbol, const StockSettingsData& settings) {
    if (!Bridge::fitsLibraryText(symbol, Bridge::MAX_LIBRARY_SYMBOL_LENGTH, "settings symbol"))
        return;
    const YieldCurve curve = yieldCurveOf(symbol, settings, std::numeric_limits<std::size_t>::max());
    LOG_SEV(debug) << "set settings:" << Logging::EscapeClientText(symbol) << ", expires: " << curve.expirations;
    CBrkCalcDll& dll = CBrkCalcDll::Instance();
    dll.UseUserRates(symbol.c_str(), curve.useUserRates ? 1 : 0);
    dll.SetYieldCurve(symbol.c_str(), curve.points.data(), static_cast<int>(curve.points.size()));
    dll.RefreshDividends(symbol.c_str());
}

int brkCalcDllYieldCurveCallback(const char* symbol, const DllDate* date, YieldCurvePoint* buffer, int capacity) {
    return Bridge::guardedCallback("brkCalcDllYieldCurveCallback", 0, [&] {
        if (!symbol || !buffer || capacity <= 0)
            return 0;
        // A symbol without settings has no points, and gets no record: the library asks for every
        // underlying it creates, which would otherwise keep one for every symbol a client ever named.
        const StockSettingsData* settings = CalculationsSingleton::get_mutable_instance().findSettings(symbol);
        if (!settings)
            return 0;
        const YieldCurve curve = yieldCurveOf(symbol, *settings, static_cast<std::size_t>(capacity));
        std::copy(curve.points.begin(), curve.points.end(), buffer);
        if (curve.expirations > 0) {
            std::ostringstream points;
            for (const YieldCurvePoint& point : curve.points)
                points << "(" << text(point.date, '-') << " " << point.dRate << ") ";
            LOG_SEV(info) << "brkCalcDllYieldCurveCallback:" << Logging::EscapeClientText(symbol)
                          << ", expires: " << curve.expirations
                          << ", date: " << (date ? text(*date, '/') : std::string()) << "\n\t" << points.str();
        }
        return static_cast<int>(curve.points.size());
    });
}

int brkCalcDllDividendCallback(const char* symbol, const DllDate* start, const DllDate* end, DividendEntry* buffer,
                               int capacity) {
    return Bridge::guardedCallback("brkCalcDllDividendCallback", 0, [&] {
        if (!symbol || !start || !end || !buffer || capacity <= 0)
            return 0;
        const StockSettingsData* found = CalculationsSingleton::get_mutable_instance().findSettings(symbol);
        if (!found)
            return 0;
        const StockSettingsData& settings = *found;
        const auto startMs = Bridge::localMsAt(*start, kWindowHour, kWindowMinute, 0);
        const auto endMs = Bridge::localMsAt(*end, kWindowHour, kWindowMinute, 0);
        if (!startMs || !endMs) {
            LOG_SEV(warning) << "brkCalcDllDividendCallback:" << Logging::EscapeClientText(symbol)
                             << ", dates out of range: " << text(*start, '/')
                             << ", " << text(*end, '/');
            return 0;
        }
        std::shared_lock<std::shared_mutex> lock(*settings.settingsMutex);
        const std::size_t m = std::min(
            {settings.dividendDates.size(), settings.dividendAmounts.size(), settings.dividendTypes.size()});
        int taken = 0;
        std::ostringstream detail;
        for (std::size_t j = 0; j < m && taken < capacity; ++j) {
            const double d = settings.dividendDates[j];
            if (!(*startMs <= d && d <= *endMs))
                continue;
            const auto date = Bridge::localDateOf(d);
            if (!date) {
                LOG_SEV(warning) << "brkCalcDllDividendCallback:" << Logging::EscapeClientText(symbol)
                                 << ", dividend date " << d
                                 << " ms skipped";
                continue;
            }
            DividendEntry& entry = buffer[taken++];
            entry.dAmount = settings.dividendAmounts[j];
            entry.nKind = settings.dividendTypes[j];
            entry.date = *date;
            detail << "(" << settings.dividendTypes[j] << " " << text(*date, '-') << " " << settings.dividendAmounts[j]
                   << ") ";
        }
        if (taken >= 1)
            LOG_SEV(info) << "brkCalcDllDividendCallback:" << Logging::EscapeClientText(symbol)
                          << ", dividends in settings: " << m
                          << ", divs taken: " << taken << ", start date: " << text(*start, '/')
                          << ", end date: " << text(*end, '/')
                          << "\n\t" << detail.str();
        return taken;
    });
}
