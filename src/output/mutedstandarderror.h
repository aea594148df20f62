// Standard error muted for the length of a library's work: libxlsxwriter prints its failures in English
// on the process's standard error, and reports them as values too, which the export names in Russian.
// While one of these lives, what anything in the process prints there is dropped.
#pragma once

namespace darni::output {

class MutedStandardError
{
public:
    MutedStandardError();
    ~MutedStandardError();
    MutedStandardError(const MutedStandardError&) = delete;
    MutedStandardError& operator=(const MutedStandardError&) = delete;

private:
    int m_saved = -1; // standard error as it was, to be put back
};

} // namespace darni::output
