// Builds dBase table files byte by byte for tests.
#include "dbffilebuilder.h"

#include <QFile>

#include <algorithm>
#include <stdexcept>

namespace darni::testing {

std::vector<ForeignField> measurementFields()
{
    const auto real = [](const char* n) { return ForeignField{n, 'N', 18, 9}; };
    const auto integer = [](const char* n) { return ForeignField{n, 'N', 9, 0}; };
    const auto small = [](const char* n) { return ForeignField{n, 'N', 4, 0}; };
    const auto text = [](const char* n, int w) { return ForeignField{n, 'C', w, 0}; };
    return {real("N"),        text("DATE", 10), text("TIME", 8), small("DEV_TYPE"), real("SERIAL"),
            small("NB_TYPE"), real("P"),        real("R"),       text("TYPE", 15),  text("COMMENT", 100),
            integer("PMAX"),  integer("DPMAX"), integer("NV"),   text("DATEV", 10), text("TIMEV", 8),
            integer("P1"),    integer("D1"),    integer("D3"),   integer("D4"),     integer("D5"),
            integer("P6"),    integer("D6"),    integer("P7"),   integer("D7"),     integer("P8"),
            integer("D8"),    integer("D9"),    integer("D10"),  real("T"),         real("P2"),
            text("P3", 250),  text("D2", 150),  real("P4"),      real("P9"),        text("P5", 200),
            text("ZAV", 20),  real("P10")};
}

DbfFileBuilder::DbfFileBuilder(std::vector<ForeignField> fields) : m_fields(std::move(fields)) {}

DbfFileBuilder& DbfFileBuilder::version(std::uint8_t v)
{
    m_version = v;
    return *this;
}

DbfFileBuilder& DbfFileBuilder::headerRecordCount(std::uint32_t n)
{
    m_headerCount = n;
    return *this;
}

DbfFileBuilder& DbfFileBuilder::productionIndexFlag(std::uint8_t flag)
{
    m_flag = flag;
    return *this;
}

int DbfFileBuilder::headerLength() const
{
    return 32 + 32 * static_cast<int>(m_fields.size()) + 1;
}

int DbfFileBuilder::recordLength() const
{
    int length = 1;
    for (const auto& f : m_fields)
        length += f.width;
    return length;
}

DbfFileBuilder& DbfFileBuilder::record(const std::map<std::string, std::string>& values, bool deleted)
{
    QByteArray r(recordLength(), ' ');
    r[0] = deleted ? '*' : ' ';
    int offset = 1;
    for (const auto& f : m_fields) {
        if (const auto it = values.find(f.name); it != values.end()) {
            const std::string& v = it->second;
            if (static_cast<int>(v.size()) > f.width)
                throw std::invalid_argument("value wider than field " + f.name);
            const int at = f.type == 'C' ? offset : offset + f.width - static_cast<int>(v.size());
            std::copy(v.begin(), v.end(), r.begin() + at);
        }
        offset += f.width;
    }
    m_records.push_back(r);
    return *this;
}

QByteArray DbfFileBuilder::bytes() const
{
    QByteArray out(32, '\0');
    out[0] = static_cast<char>(m_version);
    out[1] = static_cast<char>(124); // 2024
    out[2] = 5;
    out[3] = 17;
    const std::uint32_t count = m_headerCount.value_or(static_cast<std::uint32_t>(m_records.size()));
    for (int i = 0; i < 4; ++i)
        out[4 + i] = static_cast<char>((count >> (8 * i)) & 0xFF);
    out[8] = static_cast<char>(headerLength() & 0xFF);
    out[9] = static_cast<char>(headerLength() >> 8);
    out[10] = static_cast<char>(recordLength() & 0xFF);
    out[11] = static_cast<char>(recordLength() >> 8);
    out[28] = static_cast<char>(m_flag);
    out[29] = static_cast<char>(0xC9);
    for (const auto& f : m_fields) {
        QByteArray d(32, '\0');
        std::copy(f.name.begin(), f.name.end(), d.begin());
        d[11] = f.type;
        d[16] = static_cast<char>(f.width & 0xFF);
        d[17] = static_cast<char>(f.type == 'C' ? f.width >> 8 : f.decimals);
        out += d;
    }
    out += '\x0D';
    for (const auto& r : m_records)
        out += r;
    out += '\x1A';
    return out;
}

void DbfFileBuilder::writeTo(const QString& path) const
{
    writeAll(path, bytes());
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString());
    return f.readAll();
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

} // namespace darni::testing
