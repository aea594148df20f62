// Builds dBase table files byte by byte from the published layout, independently of the table layer,
// so that tests can open files "written by another program": any field order, extra fields, other
// type letters, wrong counts, damaged headers.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace darni::testing {

struct ForeignField
{
    std::string name;
    char type;
    int width;
    int decimals = 0;
};

// The 37 measurement fields as a created table stores them, in their stored order.
std::vector<ForeignField> measurementFields();

class DbfFileBuilder
{
public:
    explicit DbfFileBuilder(std::vector<ForeignField> fields);

    DbfFileBuilder& version(std::uint8_t v);
    DbfFileBuilder& headerRecordCount(std::uint32_t n);
    DbfFileBuilder& productionIndexFlag(std::uint8_t flag);
    // Values by field name as their stored text; C fields are left-aligned, others right-aligned.
    DbfFileBuilder& record(const std::map<std::string, std::string>& values, bool deleted = false);

    QByteArray bytes() const;
    void writeTo(const QString& path) const;

    int headerLength() const;
    int recordLength() const;

private:
    std::vector<ForeignField> m_fields;
    std::vector<QByteArray> m_records;
    std::uint8_t m_version = 0x03;
    std::uint8_t m_flag = 0;
    std::optional<std::uint32_t> m_headerCount;
};

QByteArray readAll(const QString& path);
void writeAll(const QString& path, const QByteArray& bytes);

} // namespace darni::testing
