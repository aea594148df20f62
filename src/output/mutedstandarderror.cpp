// Standard error muted for the length of a library's work.
#include "mutedstandarderror.h"

#include <cstdio>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#define DARNI_DUP _dup
#define DARNI_DUP2 _dup2
#define DARNI_CLOSE _close
#define DARNI_OPEN_NULL() _open("NUL", _O_WRONLY)
#else
#include <fcntl.h>
#include <unistd.h>
#define DARNI_DUP ::dup
#define DARNI_DUP2 ::dup2
#define DARNI_CLOSE ::close
#define DARNI_OPEN_NULL() ::open("/dev/null", O_WRONLY | O_CLOEXEC)
#endif

namespace darni::output {

namespace {
constexpr int kStandardError = 2;
} // namespace

MutedStandardError::MutedStandardError()
{
    std::fflush(stderr);
    const int nowhere = DARNI_OPEN_NULL();
    if (nowhere < 0)
        return; // nothing to mute with: the library's lines then show, as they always did
    m_saved = DARNI_DUP(kStandardError);
    if (m_saved >= 0 && DARNI_DUP2(nowhere, kStandardError) < 0) {
        DARNI_CLOSE(m_saved);
        m_saved = -1;
    }
    DARNI_CLOSE(nowhere);
}

MutedStandardError::~MutedStandardError()
{
    if (m_saved < 0)
        return;
    std::fflush(stderr);
    DARNI_DUP2(m_saved, kStandardError);
    DARNI_CLOSE(m_saved);
}

} // namespace darni::output
