// A temporary folder for table files, and helpers to read what a table file holds.
#pragma once

#include "support/dbffilebuilder.h"
#include "support/qtprinters.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdint>

namespace darni::testing {

class TableFixture : public ::testing::Test
{
protected:
    QString pathOf(const QString& name) const { return m_dir.filePath(name); }
    QString tablePath() const { return pathOf(QStringLiteral("t.db")); }

    static std::uint32_t le32(const QByteArray& b, int at)
    {
        return static_cast<std::uint8_t>(b[at]) | static_cast<std::uint8_t>(b[at + 1]) << 8 |
               static_cast<std::uint8_t>(b[at + 2]) << 16 |
               static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[at + 3])) << 24;
    }
    static int le16(const QByteArray& b, int at)
    {
        return static_cast<std::uint8_t>(b[at]) | static_cast<std::uint8_t>(b[at + 1]) << 8;
    }

    QTemporaryDir m_dir;
};

} // namespace darni::testing
