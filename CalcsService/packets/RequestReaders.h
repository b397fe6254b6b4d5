// The field readers every request parser is built from. Each takes the request stream and a
// destination and returns the stream, so reads chain and the result tests as the stream's state.
// Fields are raw little-endian copies; a field the body cannot supply whole keeps its value.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "packets/RequestStream.h"

namespace Packets {

namespace detail {
template <std::size_t Width, class T>
RequestStream& readRaw(RequestStream& in, T& destination) {
    static_assert(sizeof(T) == Width && std::is_trivially_copyable<T>::value, "field of the wrong width");
    // A wire byte may hold any value, which a bool cannot: read flags into a u8.
    static_assert(!std::is_same<T, bool>::value, "read flags as std::uint8_t");
    T value;
    if (in.read(&value, Width))
        destination = value;
    return in;
}
}  // namespace detail

// 8 bytes: f64, i64 or u64.
template <class T>
RequestStream& readQword(RequestStream& in, T& destination) {
    return detail::readRaw<8>(in, destination);
}

// 4 bytes: f32, i32 or u32.
template <class T>
RequestStream& readDword(RequestStream& in, T& destination) {
    return detail::readRaw<4>(in, destination);
}

// 2 bytes.
template <class T>
RequestStream& readWord(RequestStream& in, T& destination) {
    return detail::readRaw<2>(in, destination);
}

// 1 byte.
template <class T>
RequestStream& readByte(RequestStream& in, T& destination) {
    return detail::readRaw<1>(in, destination);
}

// A wire string: u32 byte count, then the bytes, no terminator. A count beyond the end of the
// body fails the stream before anything is allocated.
inline RequestStream& readString(RequestStream& in, std::string& text) {
    std::uint32_t length = 0;
    if (!readDword(in, length))
        return in;
    if (length > in.remaining()) {
        in.setFailed();
        return in;
    }
    std::string bytes(length, '\0');
    in.read(&bytes[0], length);
    text.swap(bytes);
    return in;
}

// A list of up to `count` elements, each read by `readElement`, into `list` (emptied first).
// MinWireSize is the fewest bytes one element takes on the wire: storage is reserved only for as
// many elements as the rest of the body can hold, and an element that the body ends inside is
// dropped, so a list never holds elements made up from missing bytes.
template <std::size_t MinWireSize, class Element, class ReadElement>
RequestStream& readList(RequestStream& in, std::uint64_t count, std::vector<Element>& list, ReadElement readElement) {
    static_assert(MinWireSize > 0, "an element takes at least one byte");
    list.clear();
    list.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(count, in.remaining() / MinWireSize)));
    for (std::uint64_t i = 0; i < count; ++i) {
        Element element{};
        if (!readElement(in, element))
            break;
        list.push_back(std::move(element));
    }
    return in;
}

}  // namespace Packets
