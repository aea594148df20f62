// The simulator's end of a pseudo-terminal.
#include "ptyline.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

namespace darni::sim {

namespace {
constexpr std::size_t kReadChunk = 4096;

[[noreturn]] void fail(const char* what)
{
    throw std::runtime_error(std::string(what) + ": " + std::strerror(errno));
}
} // namespace

PtyLine::PtyLine(bool paced) : m_paced(paced)
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
        fail("posix_openpt");
    const char* name = ::ptsname(m_master);
    if (!name)
        fail("ptsname");
    m_devicePath = QString::fromLocal8Bit(name);
    m_slave = ::open(name, O_RDWR | O_NOCTTY);
    if (m_slave < 0)
        fail("open slave");
    // Raw from the start: no echo of our own output back to us, no line editing, all 8 bits.
    termios t{};
    if (::tcgetattr(m_slave, &t) != 0)
        fail("tcgetattr");
    ::cfmakeraw(&t);
    if (::tcsetattr(m_slave, TCSANOW, &t) != 0)
        fail("tcsetattr");
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
}

PtyLine::~PtyLine()
{
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
}

QByteArray PtyLine::receive(std::chrono::milliseconds timeout)
{
    pollfd p{m_master, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(timeout.count())) <= 0 || !(p.revents & POLLIN))
        return {};
    QByteArray chars(kReadChunk, '\0');
    const ssize_t n = ::read(m_master, chars.data(), kReadChunk);
    chars.resize(n > 0 ? n : 0);
    return chars;
}

void PtyLine::dropQueued()
{
    m_pending.clear();
    m_sent = 0;
    m_paceStart = {};
    m_sentSincePaceStart = 0;
}

void PtyLine::sendDue()
{
    if (!hasQueued())
        return;
    const auto now = std::chrono::steady_clock::now();
    qsizetype allowed = m_pending.size() - m_sent;
    if (m_paced) {
        if (m_paceStart == std::chrono::steady_clock::time_point{})
            m_paceStart = now;
        const double elapsed = std::chrono::duration<double>(now - m_paceStart).count();
        allowed =
            std::min<qsizetype>(allowed, static_cast<qsizetype>(elapsed * kCharactersPerSecond - m_sentSincePaceStart));
    }
    if (allowed <= 0)
        return;
    const ssize_t n = ::write(m_master, m_pending.constData() + m_sent, static_cast<std::size_t>(allowed));
    if (n <= 0)
        return;
    m_sent += n;
    m_sentSincePaceStart += static_cast<double>(n);
    if (!hasQueued())
        dropQueued(); // the next answer starts a new stretch of line time
}

} // namespace darni::sim
