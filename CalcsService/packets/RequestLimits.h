// What one request may cost the service. A request arrives whole in at most 5 MiB, yet a few small
// counts in it can ask for far more: a long price axis times many underlyings, or lists the service
// and the library keep an entry of their own for. Requests beyond these bounds are refused before
// the work that would allocate for them starts, with a log line that names the sizes. Each bound sits
// far above what a client's screen asks for, and together they keep one request's reply and working
// memory within a few hundred megabytes, and its work within seconds.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Packets::Incoming {

// The largest reply a request may make; the working memory of a computed reply is about twice its
// size (the result, then its bytes). A risk chart of 400 underlyings over 10,000 points fits; an
// ordinary one of a few dozen underlyings over a few hundred points needs well under 1 MiB.
constexpr std::uint64_t MAX_REPLY_SIZE = std::uint64_t{32} << 20;

// The most points a RISK_2D price axis may have (`steps` + 1).
constexpr std::uint64_t MAX_RISK_2D_POINTS = 10000;

// The most position valuations one request may ask for, where a valuation is one position priced,
// with its greeks, at one point (RISK_2D: a point of the axis or a strike of its table; RISK_TABLE: a
// slide, at each volatility; CALC_RISK_CHART_DATA: a cell of either table). A request's work grows with
// it, at up to about 2 microseconds of CPU a valuation (an American put with a dividend, with a
// volatility shift), and more on a loaded machine: within the bound, at most about 6 to 8 seconds.
// 1,000 positions over 1,000 points with their strike table make 2,000,000.
constexpr std::uint64_t MAX_POSITION_VALUATIONS = 3000000;

// Strikes (each a call and a put) one BUILD_OPTION_TREE registers: the library takes about 0.1 ms of
// CPU for each, and a root lists a few thousand.
constexpr std::uint64_t MAX_OPTION_TREE_REQUEST_STRIKES = 50000;

// Expirations (each with its two rates) and dividends of one SET_CALCULATION_SETTINGS request. An
// underlying lists some dozens of each; the library takes at most 120 curve points and 100 dividends
// of them per call anyway, while the service keeps seven maps per expiration.
constexpr std::size_t MAX_SETTINGS_EXPIRATIONS = 10000;
constexpr std::size_t MAX_SETTINGS_DIVIDENDS = 10000;

// Components of one SET_DELIVERY_FORMULA: an adjusted option delivers a handful of securities; the
// library keeps a record for every component it has not seen.
constexpr std::size_t MAX_DELIVERY_COMPONENTS = 1000;

// What the stock settings may hold in all. They are kept per symbol for the life of the process, so
// past these a request that would add to a total is refused whole; a client with a few thousand
// symbols, each with some dozens of expirations and dividends and a few formulas, stays far below,
// and the service holds at most about 150 MB for them.
constexpr std::size_t MAX_STORED_SETTINGS_SYMBOLS = 20000;
constexpr std::size_t MAX_STORED_SETTINGS_ENTRIES = 1000000;  // expirations and dividends
constexpr std::size_t MAX_STORED_DELIVERY_FORMULAS = 10000;
constexpr std::size_t MAX_STORED_DELIVERY_COMPONENTS = 100000;

// Root-to-underlying mappings the library holds at a time (it drops them with its records when a
// client leaves or resets): a few per underlying symbol.
constexpr std::size_t MAX_ROOT_MAPPINGS = 100000;

}  // namespace Packets::Incoming
