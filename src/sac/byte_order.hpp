// Host byte-order probe, the byte-order decision and word reversal.
#pragma once

#include <cstdint>
#include <utility>

namespace sactab {

// 1 = reverse the bytes of every word read from the input, 0 = take them as
// they are. Set once per run by set_byte_swap, before the first read.
extern std::int32_t byteSwapFlag;

// 0 on a little-endian host, 1 on a big-endian one.
std::int32_t endian_check();

// Combines the host's byte order with the user's choice (1 = the file is
// little-endian, 0 = big-endian). A big-endian host reads every file in its
// own order, whatever the choice.
void set_byte_swap(std::int32_t byteOrderMode);

// Reverses, in place, each of `count` items of `size` bytes (4 or 2; items of
// any other size are left alone). Inline because every sample passes here.
inline void swap_bytes(unsigned char* buffer, std::int32_t count, std::int32_t size)
{
    // A negative size would walk backwards out of the buffer.
    if (count <= 0 || size <= 0) return;
    const std::int64_t end = std::int64_t{count} * size;
    for (std::int64_t offset = 0; offset < end; offset += size) {
        unsigned char* item = buffer + offset;
        if (size == 4) {
            std::swap(item[0], item[3]);
            std::swap(item[1], item[2]);
        } else if (size == 2) {
            std::swap(item[0], item[1]);
        }
    }
}

} // namespace sactab
