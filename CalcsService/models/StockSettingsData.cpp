#include "models/StockSettingsData.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <mutex>
#include <utility>

#include "models/IndexSymbol.h"
#include "packets/RequestLimits.h"

namespace models {

namespace {

constexpr double MS_PER_DAY = 86400000.0;
constexpr double DAYS_PER_YEAR = 365.0;

// Dividend kinds that are not cash dividends for the derived figures.
bool isCashDividend(std::int32_t kind) {
    return kind != 11 && kind != 99;
}

// The client's rate, continuously compounded over calendar days / 365.
double growth(double from, double to, double rate) {
    return std::exp((to - from) / MS_PER_DAY / DAYS_PER_YEAR * rate);
}

// A dividend dated after the request's time, with its place in the request.
struct UpcomingDividend {
    double date;
    float amount;
    bool cash;
    std::size_t index;
};

// The first count dividends dated after now, by date.
std::vector<UpcomingDividend> upcomingDividends(const StockSettingsData& s, double now, std::size_t count) {
    std::vector<UpcomingDividend> upcoming;
    for (std::size_t j = 0; j < count; ++j) {
        // A NaN date or a NaN now never qualifies.
        if (now < s.dividendDates[j])
            upcoming.push_back({s.dividendDates[j], s.dividendAmounts[j], isCashDividend(s.dividendTypes[j]), j});
    }
    std::sort(upcoming.begin(), upcoming.end(), [](const UpcomingDividend& a, const UpcomingDividend& b) {
        return a.date < b.date || (a.date == b.date && a.index < b.index);
    });
    return upcoming;
}

// Sums of cash dividend forwards, sum(amount × exp((e - date) / year × rate)) over the first k cash
// dividends in date order, for any expiration e and rate, without visiting every dividend: a tree of
// runs of dividends keeps per run the power moments of the dates around the run's middle, from which
// the run's sum is a short Taylor series in the rate while rate × half the run's length stays within
// 1. Runs too long for the rate are split; the smallest runs are always summed term by term.
class CashForwardSums {
public:
    explicit CashForwardSums(const std::vector<UpcomingDividend>& upcoming) {
        for (const auto& d : upcoming)
            if (d.cash) {
                m_dates.push_back(d.date);
                m_amounts.push_back(d.amount);
            }
        const std::size_t leaves = (m_dates.size() + kLeafSize - 1) / kLeafSize;
        if (leaves > 0) {
            m_nodes.resize(4 * leaves);
            build(1, 0, leaves);
            m_nLeaves = leaves;
        }
    }

    // The sum over the first k cash dividends at expiration e.
    double sum(std::size_t k, double e, double rate) const {
        if (k == 0)
            return 0.0;
        if (std::isnan(rate))
            return std::nan("");
        return prefix(1, 0, m_nLeaves, k, e, rate);
    }

private:
    static constexpr std::size_t kLeafSize = 16;
    static constexpr std::size_t kTerms = 24;  // 1 / 24! is far below a double's precision
    static constexpr double kReach = 1.0;      // largest |rate × half length in years| of a series

    struct Node {
        double middle = 0.0;     // ms since 1970
        double halfYears = 0.0;  // half the run's length in years
        std::array<double, kTerms> moments{};  // sum(amount × x^p) / p!, x = (middle - date) in years
    };

    std::size_t first(std::size_t leaf) const { return std::min(leaf * kLeafSize, m_dates.size()); }

    void build(std::size_t node, std::size_t lo, std::size_t hi) {
        const std::size_t begin = first(lo), end = first(hi);
        Node& n = m_nodes[node];
        n.middle = m_dates[begin] / 2 + m_dates[end - 1] / 2;
        n.halfYears = (m_dates[end - 1] - m_dates[begin]) / 2 / MS_PER_DAY / DAYS_PER_YEAR;
        if (hi - lo == 1) {
            for (std::size_t j = begin; j < end; ++j)
                addPowers(n, m_amounts[j], (n.middle - m_dates[j]) / MS_PER_DAY / DAYS_PER_YEAR);
            return;
        }
        const std::size_t mid = lo + (hi - lo) / 2;
        build(2 * node, lo, mid);
        build(2 * node + 1, mid, hi);
        addShifted(n, m_nodes[2 * node]);
        addShifted(n, m_nodes[2 * node + 1]);
    }

    // moments[p] += weight × x^p / p!
    static void addPowers(Node& n, double weight, double x) {
        for (std::size_t p = 0; p < kTerms; ++p) {
            n.moments[p] += weight;
            weight *= x / static_cast<double>(p + 1);
        }
    }

    // Adds a child's moments, moved to the parent's middle: x_parent = x_child + shift, so by the
    // binomial theorem every child moment q adds to each parent moment p >= q.
    static void addShifted(Node& parent, const Node& child) {
        const double shift = (parent.middle - child.middle) / MS_PER_DAY / DAYS_PER_YEAR;
        for (std::size_t q = 0; q < kTerms; ++q) {
            double weight = child.moments[q];
            for (std::size_t p = q; p < kTerms; ++p) {
                parent.moments[p] += weight;
                weight *= shift / static_cast<double>(p - q + 1);
            }
        }
    }

    double prefix(std::size_t node, std::size_t lo, std::size_t hi, std::size_t k, double e, double rate) const {
        if (first(hi) <= k)
            return whole(node, lo, hi, e, rate);
        if (hi - lo == 1)
            return terms(first(lo), k, e, rate);
        const std::size_t mid = lo + (hi - lo) / 2;
        double total = prefix(2 * node, lo, mid, k, e, rate);
        if (first(mid) < k)
            total += prefix(2 * node + 1, mid, hi, k, e, rate);
        return total;
    }

    double whole(std::size_t node, std::size_t lo, std::size_t hi, double e, double rate) const {
        if (hi - lo == 1)
            return terms(first(lo), first(hi), e, rate);
        const Node& n = m_nodes[node];
        if (std::abs(rate) * n.halfYears <= kReach) {
            // At rate 0 only the plain sum counts (far-flung dates may leave the higher moments infinite).
            double series = n.moments[0];
            if (rate != 0.0) {
                series = n.moments[kTerms - 1];
                for (std::size_t p = kTerms - 1; p-- > 0;)
                    series = series * rate + n.moments[p];
            }
            return series * growth(n.middle, e, rate);
        }
        const std::size_t mid = lo + (hi - lo) / 2;
        return whole(2 * node, lo, mid, e, rate) + whole(2 * node + 1, mid, hi, e, rate);
    }

    double terms(std::size_t begin, std::size_t end, double e, double rate) const {
        double total = 0.0;
        for (std::size_t j = begin; j < end; ++j)
            total += m_amounts[j] * growth(m_dates[j], e, rate);
        return total;
    }

    std::vector<double> m_dates;  // cash dividends in date order
    std::vector<double> m_amounts;
    std::vector<Node> m_nodes;  // node 1 is the root; node i has the children 2i and 2i + 1
    std::size_t m_nLeaves = 0;
};

}  // namespace

StockSettingsData::StockSettingsData() : settingsMutex(std::make_shared<std::shared_mutex>()) {}

void StockSettingsData::applySettings(Packets::Incoming::StockSettingsPacket request) {
    {
        std::unique_lock<std::shared_mutex> lock(*settingsMutex);
        isStock = !models::isIndexSymbol(request.symbol);
        useUserInputs = request.useUserInputs != 0;
        ratesSource = request.ratesSource;
        expirations = std::move(request.expirations);
        rates1 = std::move(request.rates1);
        rates2 = std::move(request.rates2);
        dividendDates = std::move(request.dividendDates);
        dividendAmounts = std::move(request.dividendAmounts);
        dividendTypes = std::move(request.dividendTypes);
        // In the same exclusive section: a reader never sees the new expirations with the old figures.
        rebuildFigures(request.time);
    }
}

void StockSettingsData::updateDividendForwards(double now) {
    std::unique_lock<std::shared_mutex> lock(*settingsMutex);
    rebuildFigures(now);
}

const ExpirationFigures* StockSettingsData::figuresAt(double expiration) const {
    const auto found = std::lower_bound(
        figures.begin(), figures.end(), expiration,
        [](const ExpirationFigures& f, double e) { return Packets::wireDoubleLess(f.expiration, e); });
    if (found == figures.end() || Packets::wireDoubleLess(expiration, found->expiration))
        return nullptr;
    return &*found;
}

std::size_t StockSettingsData::storedEntries() const {
    return std::max(expirations.size(), figures.size()) + dividendDates.size();
}

std::size_t StockSettingsData::storedComponents() const {
    std::size_t count = 0;
    for (const auto& formula : deliveryComponents)
        count += formula.second.size();
    return count;
}

void StockSettingsData::rebuildFigures(double now) {
    if (expirations.empty())
        return;

    // The vectors are public: bound every index by all the vectors it reads.
    const std::size_t n = std::min({expirations.size(), rates1.size(), rates2.size()});
    const std::size_t m = std::min({dividendDates.size(), dividendAmounts.size(), dividendTypes.size()});

    // The distinct expirations in wire order, as a map keyed by them would hold them: of equal ones
    // the first gives the key and the last the rates.
    std::vector<std::size_t> order(n);
    for (std::size_t i = 0; i < n; ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) {
        return Packets::wireDoubleLess(expirations[a], expirations[b]);
    });
    struct Distinct {
        std::size_t key, rates;
    };
    std::vector<Distinct> distinct;
    for (std::size_t k = 0; k < n; ++k) {
        if (k == 0 || Packets::wireDoubleLess(expirations[order[k - 1]], expirations[order[k]]))
            distinct.push_back({order[k], order[k]});
        else
            distinct.back().rates = order[k];
    }

    std::vector<ExpirationFigures> rebuilt;
    rebuilt.reserve(distinct.size());

    // The expirations in key order take the dividends before them as a growing run of the date-sorted
    // list.
    const std::vector<UpcomingDividend> upcoming = upcomingDividends(*this, now, m);
    const CashForwardSums sums(upcoming);
    std::size_t next = 0;
    std::int32_t dividends = 0;
    std::int32_t cashDividends = 0;
    // The first cash dividend in the request's order whose date is not 0.0; a dated-0.0 one counts as
    // "none yet", so without a later one the last of those is what remains.
    const UpcomingDividend* firstCash = nullptr;
    const UpcomingDividend* lastZeroDatedCash = nullptr;
    for (const Distinct& d : distinct) {
        const double e = expirations[d.key];
        const double rate = rates1[d.rates];
        // No date is before a NaN expiration (ordered last): its figures are all 0.
        for (; !std::isnan(e) && next < upcoming.size() && upcoming[next].date < e; ++next) {
            const UpcomingDividend& dividend = upcoming[next];
            ++dividends;
            if (!dividend.cash)
                continue;
            ++cashDividends;
            if (dividend.date != 0.0) {
                if (!firstCash || dividend.index < firstCash->index)
                    firstCash = &dividend;
            } else if (!lastZeroDatedCash || dividend.index > lastZeroDatedCash->index) {
                lastZeroDatedCash = &dividend;
            }
        }
        const bool none = std::isnan(e);
        const UpcomingDividend* taken = none ? nullptr : firstCash ? firstCash : lastZeroDatedCash;
        ExpirationFigures f;
        f.expiration = e;
        f.rate1 = rate;
        f.rate2 = rates2[d.rates];
        f.firstCashDividendForward = taken ? taken->amount * growth(taken->date, e, rate) : 0.0;
        f.firstCashDividendDate = taken ? taken->date : 0.0;
        f.cashDividendForwardSum = none ? 0.0 : sums.sum(static_cast<std::size_t>(cashDividends), e, rate);
        f.dividendCount = none ? 0 : dividends;
        f.cashDividendCount = none ? 0 : cashDividends;
        rebuilt.push_back(f);
    }
    figures.swap(rebuilt);
}

void StockSettingsData::setDeliveryValue(const std::string& formula, std::uint32_t value) {
    std::unique_lock<std::shared_mutex> lock(*settingsMutex);
    deliveryValues[formula] = value;
}

void StockSettingsData::setDeliveryComponents(const std::string& formula,
                                              const Packets::Incoming::DeliveryComponentList& components) {
    std::unique_lock<std::shared_mutex> lock(*settingsMutex);
    deliveryComponents[formula] = components;
}

std::ostream& operator<<(std::ostream& out, const SettingsRefusal& refusal) {
    return out << refusal.what << " would reach " << refusal.asked << " from " << refusal.held << ", at most "
               << refusal.cap;
}

const StockSettingsMap::Caps StockSettingsMap::kCaps{
    Packets::Incoming::MAX_STORED_SETTINGS_SYMBOLS, Packets::Incoming::MAX_STORED_SETTINGS_ENTRIES,
    Packets::Incoming::MAX_STORED_DELIVERY_FORMULAS, Packets::Incoming::MAX_STORED_DELIVERY_COMPONENTS};

StockSettingsMap::StockSettingsMap(const Caps& caps) : m_caps(caps) {}

StockSettingsData* StockSettingsMap::find(const std::string& symbol) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto found = m_records.find(symbol);
    return found == m_records.end() ? nullptr : &found->second;
}

StockSettingsMap::Held StockSettingsMap::heldBy(const StockSettingsData* record) {
    if (!record)
        return {};
    std::shared_lock<std::shared_mutex> lock(*record->settingsMutex);
    return {record->storedEntries(), record->storedFormulas(), record->storedComponents()};
}

std::optional<SettingsRefusal> StockSettingsMap::refusalLocked(bool added, const Held& before,
                                                               const Held& after) const {
    if (added && m_records.size() >= m_caps.symbols)
        return SettingsRefusal{"symbols", m_records.size(), m_records.size() + 1, m_caps.symbols};
    // A total that does not grow is never refused.
    const auto passes = [](std::size_t total, std::size_t was, std::size_t now, std::size_t cap) {
        return now > was && total - was + now > cap;
    };
    if (passes(m_entries, before.entries, after.entries, m_caps.entries))
        return SettingsRefusal{"expirations and dividends", m_entries, m_entries - before.entries + after.entries,
                               m_caps.entries};
    if (passes(m_formulas, before.formulas, after.formulas, m_caps.formulas))
        return SettingsRefusal{"delivery formulas", m_formulas, m_formulas - before.formulas + after.formulas,
                               m_caps.formulas};
    if (passes(m_components, before.components, after.components, m_caps.components))
        return SettingsRefusal{"delivery components", m_components,
                               m_components - before.components + after.components, m_caps.components};
    return std::nullopt;
}

void StockSettingsMap::recountLocked(const Held& before, const Held& after) {
    m_entries = m_entries - before.entries + after.entries;
    m_formulas = m_formulas - before.formulas + after.formulas;
    m_components = m_components - before.components + after.components;
}

std::optional<SettingsRefusal> StockSettingsMap::applySettings(Packets::Incoming::StockSettingsPacket request) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto found = m_records.find(request.symbol);
    StockSettingsData* record = found == m_records.end() ? nullptr : &found->second;
    const Held before = heldBy(record);
    Held after = before;
    // Without expirations the record keeps the figures of its last request that had any.
    after.entries = (request.expirations.empty() && record ? record->figures.size() : request.expirations.size()) +
                    request.dividendDates.size();
    if (auto refusal = refusalLocked(!record, before, after))
        return refusal;
    StockSettingsData& stored = record ? *record : m_records[request.symbol];
    stored.applySettings(std::move(request));
    recountLocked(before, heldBy(&stored));
    return std::nullopt;
}

std::optional<SettingsRefusal> StockSettingsMap::setDeliveryFormula(
    const std::string& symbol, const std::string& formula, std::uint32_t value,
    const Packets::Incoming::DeliveryComponentList& components) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto found = m_records.find(symbol);
    StockSettingsData* record = found == m_records.end() ? nullptr : &found->second;
    const Held before = heldBy(record);
    Held after = before;
    std::size_t replaced = 0;
    bool known = false;
    if (record) {
        std::shared_lock<std::shared_mutex> recordLock(*record->settingsMutex);
        known = record->deliveryValues.count(formula) != 0;
        const auto old = record->deliveryComponents.find(formula);
        replaced = old == record->deliveryComponents.end() ? 0 : old->second.size();
    }
    after.formulas += known ? 0 : 1;
    after.components = after.components - replaced + components.size();
    if (auto refusal = refusalLocked(!record, before, after))
        return refusal;
    StockSettingsData& stored = record ? *record : m_records[symbol];
    stored.setDeliveryValue(formula, value);
    stored.setDeliveryComponents(formula, components);
    recountLocked(before, heldBy(&stored));
    return std::nullopt;
}

std::size_t StockSettingsMap::symbols() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_records.size();
}

std::size_t StockSettingsMap::entries() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_entries;
}

std::size_t StockSettingsMap::formulas() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_formulas;
}

std::size_t StockSettingsMap::components() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_components;
}

}  // namespace models
