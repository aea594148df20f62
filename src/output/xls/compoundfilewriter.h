// Writes a compound file (the structured-storage container of Excel 97-2003 workbooks) whose root
// storage holds one stream. The stream is written front to back straight into the file, with
// positions patched in place afterwards, so a stream of any size costs no memory of its own; the
// allocation tables and the directory follow it when the file is finished. The file appears under
// its name only when finish() succeeds, replacing one of that name; a failure or a crash before that
// leaves a file of that name as it was.
#pragma once

#include "files/atomicfile.h"

#include <QString>

#include <cstdint>
#include <memory>

namespace darni::output::xls {

class CompoundFileWriter
{
public:
    // Throws XlsError when the file cannot be made: a Russian sentence with the cause, then
    // "StgCreateDocFile error %d"; and "CreateStream error %d" when its stream cannot be begun.
    CompoundFileWriter(const QString& path, const QString& streamName);

    // Bytes of the stream so far.
    std::int64_t position() const { return m_size; }
    void write(const char* data, std::int64_t length);
    // Overwrites bytes already written, at a position within the stream.
    void patch(std::int64_t position, const char* data, std::int64_t length);
    // Writes the allocation tables, the directory and the header, and puts the file in place.
    void finish();

private:
    [[noreturn]] void fail(const QString& detail) const;
    void writeOut(const char* data, std::int64_t length);

    std::unique_ptr<files::AtomicFile> m_file;
    QString m_streamName;
    std::int64_t m_size = 0;
};

} // namespace darni::output::xls
