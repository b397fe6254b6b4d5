// What the handler tests share: running one handler on a body, the request id they send, and
// searching the log lines a request left.
#pragma once

#include <algorithm>
#include <cstring>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "handlers/BaseHandler.h"

namespace handlertest {

using Bytes = std::vector<std::uint8_t>;

// 16 distinct bytes, so an echo at the wrong offset or in the wrong order shows.
inline const Bytes& requestId() {
    static const Bytes id = {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7,
                             0xA8, 0xA9, 0xAA, 0xAB, 0xAC, 0xAD, 0xAE, 0xAF};
    return id;
}

// The reply the handler writes for `body`.
inline Bytes run(Handlers::BaseHandler& handler, const Bytes& body) {
    Packets::RequestStream request(body);
    Bytes reply;
    handler.handle(request, reply, requestId());
    return reply;
}

inline bool anyContains(const std::vector<std::string>& lines, const std::string& text) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& line) { return line.find(text) != std::string::npos; });
}

// The header every reply starts with: type, 0, its own length, the request id.
inline void expectReplyHeader(const Bytes& reply, std::uint32_t type) {
    ASSERT_GE(reply.size(), 28u);
    std::uint32_t words[3];
    std::memcpy(words, reply.data(), sizeof words);
    EXPECT_EQ(words[0], type);
    EXPECT_EQ(words[1], 0u);
    EXPECT_EQ(words[2], reply.size());
    EXPECT_EQ(Bytes(reply.begin() + 12, reply.begin() + 28), requestId());
}

}  // namespace handlertest
