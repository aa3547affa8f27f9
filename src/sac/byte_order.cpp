#include "sac/byte_order.hpp"

#include <cstring>

namespace sactab {

std::int32_t byteSwapFlag = 0;

namespace {
std::int32_t endian = 0;
}

std::int32_t endian_check()
{
    const std::int32_t one = 1;
    unsigned char lowest = 0;
    std::memcpy(&lowest, &one, 1);
    return lowest == 1 ? 0 : 1;
}

void set_byte_swap(std::int32_t byteOrderMode)
{
    endian = endian_check();
    if (endian == 0) {
        byteSwapFlag = 1;
        if (byteOrderMode == 1) byteSwapFlag = 0;
    } else if (endian == 1) {
        byteSwapFlag = 0;
    }
}

} // namespace sactab
