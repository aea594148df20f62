// Code page 1251 conversion at the edges of the table layer.
#include "table/cp1251.h"

#include <gtest/gtest.h>

using namespace darni::table;

namespace {

TEST(Cp1251, EveryByteSurvivesARoundTrip)
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    const QString text = cp1251::toUnicode(all);
    ASSERT_EQ(text.size(), 256);
    EXPECT_EQ(cp1251::fromUnicode(text), all);
}

TEST(Cp1251, KnownCharacters)
{
    struct Case
    {
        QString text;
        QByteArray bytes;
    };
    const Case cases[] = {
        {QStringLiteral("Бетон тяжёлый"), QByteArray("\xC1\xE5\xF2\xEE\xED \xF2\xFF\xE6\xB8\xEB\xFB\xE9")},
        // The through-sounding word begins with a Latin C.
        {QStringLiteral("Cквозное"), QByteArray("C\xEA\xE2\xEE\xE7\xED\xEE\xE5")},
        {QStringLiteral("ЁЯ№"), QByteArray("\xA8\xDF\xB9")},
        {QStringLiteral("€–—«»"), QByteArray("\x88\x96\x97\xAB\xBB")},
        {QStringLiteral("ЂЃЉЊЌЋЏђѓљњќћџЎўЈҐЄЇІіґєјЅѕї"),
         QByteArray("\x80\x81\x8A\x8C\x8D\x8E\x8F\x90\x83\x9A\x9C\x9D\x9E\x9F\xA1\xA2\xA3\xA5\xAA\xAF\xB2\xB3\xB4"
                    "\xBA\xBC\xBD\xBE\xBF")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(cp1251::fromUnicode(c.text), c.bytes) << c.text.toStdString();
        EXPECT_EQ(cp1251::toUnicode(c.bytes), c.text) << c.text.toStdString();
    }
}

TEST(Cp1251, CharactersOutsideTheCodePageBecomeOneReplacementEach)
{
    EXPECT_EQ(cp1251::fromUnicode(QStringLiteral("a中b")), QByteArray("a?b"));
    EXPECT_EQ(cp1251::fromUnicode(QStringLiteral("x😀y")), QByteArray("x?y"));
    EXPECT_EQ(cp1251::fromUnicode(QString(QChar(0xDC00))), QByteArray("?"));
}

} // namespace

TEST(Cp1251, Utf8DirectlyIsTheUtf8OfTheUnicodeText)
{
    QByteArray every;
    for (int b = 0; b < 256; ++b)
        every.append(static_cast<char>(b));
    QByteArray out = "left over";
    for (const QByteArray& bytes : {every, QByteArray(), QByteArray("\xCF\xEB\xE8\xF2\xE0 3, \xB9 5")}) {
        cp1251::toUtf8(bytes, out);
        EXPECT_EQ(out, cp1251::toUnicode(bytes).toUtf8());
    }
}
