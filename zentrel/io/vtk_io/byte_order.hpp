#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <span>

#include "zentrel/io/output_buffer.hpp"

namespace zentrel::io {

// Appends values in the requested byte order, converting through the buffer in one pass.
template <class T, class Src>
void append_as(OutputBuffer& out, std::span<const Src> values, bool big_endian) {
    static_assert(sizeof(T) == 1 || sizeof(T) == 4 || sizeof(T) == 8);
    const bool swap = big_endian != (std::endian::native == std::endian::big);
    // Integers of the same width share their bytes for every value both types hold.
    if constexpr (sizeof(T) == sizeof(Src) &&
                  (std::is_same_v<T, std::remove_cv_t<Src>> || (std::is_integral_v<T> && std::is_integral_v<Src>))) {
        if (!swap || sizeof(T) == 1) {
            out.append(values.data(), values.size_bytes());
            return;
        }
    }
    constexpr std::size_t kBatch = 8192;
    for (std::size_t i = 0; i < values.size(); i += kBatch) {
        std::size_t n = std::min(kBatch, values.size() - i);
        char* p = out.reserve(n * sizeof(T));
        for (std::size_t k = 0; k < n; ++k) {
            T v = static_cast<T>(values[i + k]);
            if constexpr (sizeof(T) == 8) {
                std::uint64_t u;
                std::memcpy(&u, &v, 8);
                if (swap) u = __builtin_bswap64(u);
                std::memcpy(p + k * 8, &u, 8);
            } else if constexpr (sizeof(T) == 4) {
                std::uint32_t u;
                std::memcpy(&u, &v, 4);
                if (swap) u = __builtin_bswap32(u);
                std::memcpy(p + k * 4, &u, 4);
            } else {
                std::memcpy(p + k, &v, 1);
            }
        }
        out.commit(p + n * sizeof(T));
    }
}

// Appends count values gen(0), gen(1), ... converted to T, in batches.
template <class T, class Gen>
void append_generated(OutputBuffer& out, std::size_t count, bool big_endian, Gen&& gen) {
    constexpr std::size_t kBatch = 8192;
    T tmp[kBatch];
    for (std::size_t i = 0; i < count; i += kBatch) {
        std::size_t n = std::min(kBatch, count - i);
        for (std::size_t k = 0; k < n; ++k) tmp[k] = static_cast<T>(gen(i + k));
        append_as<T>(out, std::span<const T>(tmp, n), big_endian);
    }
}

template <class T>
void append_one(OutputBuffer& out, T value, bool big_endian) {
    append_as<T>(out, std::span<const T>(&value, 1), big_endian);
}

}  // namespace zentrel::io
