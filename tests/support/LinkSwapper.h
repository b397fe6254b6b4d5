// For tests of a race with a local user who swaps a folder with a link to a folder of its own.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <thread>

#include <boost/filesystem.hpp>
#include <gtest/gtest.h>

namespace testsupport {

// Swaps a folder with a link (renameat2 with RENAME_EXCHANGE) on a thread of its own, as fast as it
// can, until destroyed.
class LinkSwapper {
public:
    LinkSwapper(const boost::filesystem::path& folder, const boost::filesystem::path& target)
        : m_folder(folder), m_link(folder.string() + ".swap") {
        boost::filesystem::create_symlink(target, m_link);
        m_thread = std::thread([this] {
            while (!m_stop.load())
                if (::renameat2(AT_FDCWD, m_folder.c_str(), AT_FDCWD, m_link.c_str(), RENAME_EXCHANGE) == 0)
                    m_swaps.fetch_add(1);
        });
    }
    ~LinkSwapper() {
        m_stop = true;
        m_thread.join();
        // The folder back under its own name.
        if (boost::filesystem::is_symlink(m_folder))
            ::renameat2(AT_FDCWD, m_folder.c_str(), AT_FDCWD, m_link.c_str(), RENAME_EXCHANGE);
    }
    LinkSwapper(const LinkSwapper&) = delete;
    LinkSwapper& operator=(const LinkSwapper&) = delete;

    long swaps() const { return m_swaps.load(); }

private:
    const boost::filesystem::path m_folder, m_link;
    std::atomic<bool> m_stop{false};
    std::atomic<long> m_swaps{0};
    std::thread m_thread;
};

// Runs step 1,000 times while the swapper swaps (fewer only on a machine so slow that a minute passes),
// and counts the tries after which reachedOutside found the user's folder changed; it puts the folder
// back as it was.
inline int linksFollowed(const LinkSwapper& swapper, const std::function<bool()>& step,
                         const std::function<bool()>& reachedOutside) {
    constexpr int kTries = 1000;
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    int tries = 0, successes = 0, followed = 0;
    for (; tries < kTries && std::chrono::steady_clock::now() < giveUp; ++tries) {
        successes += step() ? 1 : 0;
        followed += reachedOutside() ? 1 : 0;
    }
    // The race was run: steps went through between swaps as well as failed on them.
    EXPECT_GT(successes, 0);
    EXPECT_GT(swapper.swaps(), 0);
    std::printf("%d of %d tries followed a link (%d succeeded) during %ld swaps\n", followed, tries, successes,
                swapper.swaps());
    return followed;
}

}  // namespace testsupport
