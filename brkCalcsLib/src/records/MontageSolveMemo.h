// The last implied-volatility solves of an option's montage calculation, keyed by everything they
// read: the pricing inputs, the quote, the dividend schedule and the volatilities the solves start
// from. The solves are a deterministic function of that key, so when a later pass meets the same
// key (the underlying moved but this option's own underlying value did not, and every group of the
// chain runs the montage again) their outcome is taken from here, bit for bit as a new solve would give it.
#pragma once

#include <array>
#include <cstring>
#include <vector>

struct SMontageSolveMemo {
    // S, T, r, carry, model, bid, ask, and the ask, bid and mid volatilities before the solves.
    using Key = std::array<double, 10>;

    struct Outcome {
        double askIV = 0.0;
        double bidIV = 0.0;
        double midIV = 0.0;
        bool bidFailed = false;
    };

    // Compared by bits: the memo holds only when the solves would see exactly the same numbers.
    bool Matches(const Key& key, const std::vector<double>& amounts, const std::vector<double>& times) const {
        return m_valid && std::memcmp(m_key.data(), key.data(), sizeof(Key)) == 0 && SameBits(m_amounts, amounts) &&
               SameBits(m_times, times);
    }

    void Remember(const Key& key, const std::vector<double>& amounts, const std::vector<double>& times,
                  const Outcome& outcome) {
        m_key = key;
        m_amounts = amounts;
        m_times = times;
        m_outcome = outcome;
        m_valid = true;
    }

    const Outcome& Remembered() const { return m_outcome; }

private:
    static bool SameBits(const std::vector<double>& a, const std::vector<double>& b) {
        return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
    }

    bool m_valid = false;
    Key m_key{};
    std::vector<double> m_amounts;
    std::vector<double> m_times;
    Outcome m_outcome;
};
