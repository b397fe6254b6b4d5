// Builds request bodies and packets field by field, as a client writes them, and reads fields of replies.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace wiretest {

class WireWriter {
public:
    WireWriter& u8(std::uint8_t v) { return raw(v); }
    WireWriter& i16(std::int16_t v) { return raw(v); }
    WireWriter& u16(std::uint16_t v) { return raw(v); }
    WireWriter& i32(std::int32_t v) { return raw(v); }
    WireWriter& u32(std::uint32_t v) { return raw(v); }
    WireWriter& i64(std::int64_t v) { return raw(v); }
    WireWriter& f32(float v) { return raw(v); }
    WireWriter& f64(double v) { return raw(v); }
    // A wire string: u32 length, then the bytes.
    WireWriter& str(const std::string& s) {
        u32(static_cast<std::uint32_t>(s.size()));
        return bytes(s);
    }
    WireWriter& bytes(const std::string& s) {
        m_bytes.insert(m_bytes.end(), s.begin(), s.end());
        return *this;
    }
    WireWriter& append(const std::vector<std::uint8_t>& more) {
        m_bytes.insert(m_bytes.end(), more.begin(), more.end());
        return *this;
    }

    const std::vector<std::uint8_t>& data() const { return m_bytes; }
    std::size_t size() const { return m_bytes.size(); }

private:
    template <class T>
    WireWriter& raw(T v) {
        std::uint8_t b[sizeof(T)];
        std::memcpy(b, &v, sizeof(T));  // the wire is little-endian, as this machine
        m_bytes.insert(m_bytes.end(), b, b + sizeof(T));
        return *this;
    }

    std::vector<std::uint8_t> m_bytes;
};

using RequestId = std::array<std::uint8_t, 16>;

// A request packet: the 28-byte header (size = header + body unless given) and the body.
inline std::vector<std::uint8_t> makePacket(std::uint32_t type, const std::vector<std::uint8_t>& body,
                                            const RequestId& id = {}, std::uint32_t version = 8) {
    WireWriter w;
    w.u32(type).u32(version).u32(static_cast<std::uint32_t>(28 + body.size()));
    w.bytes(std::string(id.begin(), id.end()));
    return w.append(body).data();
}

// Writes a value at a fixed offset of a buffer, for checking documented layouts.
template <class T>
void placeAt(std::vector<std::uint8_t>& buffer, std::size_t offset, T value) {
    std::memcpy(buffer.data() + offset, &value, sizeof(T));
}

// Reads a value at a fixed offset of a buffer; a read past the end fails the test and yields T{}.
template <class T>
T valueAt(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
    T value{};
    EXPECT_LE(offset + sizeof value, bytes.size());
    if (offset + sizeof value <= bytes.size())
        std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

}  // namespace wiretest
