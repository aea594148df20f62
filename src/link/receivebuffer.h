// The characters of the current transfer phase, in a fixed array allocated once for the run.
#pragma once

#include "transfer/deviceimage.h"

#include <cstddef>
#include <memory>

namespace darni::link {

class ReceiveBuffer
{
public:
    // A phase's characters fit the memory's capacity.
    static constexpr std::size_t kCapacity = transfer::image::kCapacity;

    ReceiveBuffer();

    std::size_t count() const { return m_count; }
    const char* data() const { return m_chars.get(); }
    void clear() { m_count = 0; }
    // False, with nothing stored, when the characters would not fit.
    bool append(const char* chars, std::size_t n);
    // Index of the first occurrence of the character among those received, or −1.
    std::ptrdiff_t find(char c) const;

private:
    std::unique_ptr<char[]> m_chars;
    std::size_t m_count = 0;
};

} // namespace darni::link
