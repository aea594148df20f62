// The characters of the current transfer phase.
#include "receivebuffer.h"

#include <cstring>

namespace darni::link {

ReceiveBuffer::ReceiveBuffer() : m_chars(std::make_unique<char[]>(kCapacity)) {}

bool ReceiveBuffer::append(const char* chars, std::size_t n)
{
    if (n > kCapacity - m_count)
        return false;
    std::memcpy(m_chars.get() + m_count, chars, n);
    m_count += n;
    return true;
}

std::ptrdiff_t ReceiveBuffer::find(char c) const
{
    const void* at = std::memchr(m_chars.get(), c, m_count);
    return at ? static_cast<const char*>(at) - m_chars.get() : -1;
}

} // namespace darni::link
