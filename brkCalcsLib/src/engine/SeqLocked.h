// A small value that every calculation reads and few write: readers copy it without writing any
// shared memory. A writer makes the sequence number odd while it changes the words; a reader
// retries until it read them between two equal even numbers. Writers must be serialised by the
// caller (one mutex of their own), so readers never wait on them for long.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <type_traits>

template <class T>
class CSeqLocked {
    static_assert(std::is_trivially_copyable<T>::value, "copied word by word");
    static constexpr std::size_t kWords = (sizeof(T) + sizeof(std::uint64_t) - 1) / sizeof(std::uint64_t);
    using Words = std::array<std::uint64_t, kWords>;

public:
    explicit CSeqLocked(const T& initial = T()) { Store(initial); }

    T Load() const {
        Words words;
        for (;;) {
            const unsigned before = m_sequence.load(std::memory_order_acquire);
            for (std::size_t i = 0; i < kWords; ++i)
                words[i] = m_words[i].load(std::memory_order_relaxed);
            std::atomic_thread_fence(std::memory_order_acquire);
            if (before % 2 == 0 && m_sequence.load(std::memory_order_relaxed) == before)
                break;
        }
        T value;
        std::memcpy(static_cast<void*>(&value), words.data(), sizeof(T));  // trivially copyable
        return value;
    }

    void Store(const T& value) {
        Words words{};
        std::memcpy(words.data(), &value, sizeof(T));
        const unsigned sequence = m_sequence.load(std::memory_order_relaxed);
        m_sequence.store(sequence + 1, std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_release);
        for (std::size_t i = 0; i < kWords; ++i)
            m_words[i].store(words[i], std::memory_order_relaxed);
        m_sequence.store(sequence + 2, std::memory_order_release);
    }

private:
    std::atomic<unsigned> m_sequence{0};
    std::array<std::atomic<std::uint64_t>, kWords> m_words{};
};
