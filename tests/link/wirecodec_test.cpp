// The instrument's wire encoding and frame checksum.
#include "link/wirecodec.h"
#include "support/qtprinters.h"

#include <gtest/gtest.h>

#include <vector>

using namespace darni::link;

namespace {

TEST(WireCodec, TheSmallestFrameCarriesOneByteAndPassesItsChecksum)
{
    const QByteArray f("S1026000000P");
    EXPECT_TRUE(wire::frameChecksumOk(f.constData(), 0, f.size() - 1));
    EXPECT_EQ(wire::readByte(f.constData() + 1), 0x01);
    EXPECT_EQ(wire::checksum("10", 2), 98u);
    const std::uint8_t one[] = {0x01};
    EXPECT_EQ(wire::frame(wire::encodePayload(one)), f);
}

TEST(WireCodec, NibblesTravelLowFirstAndWordsLowByteFirst)
{
    const std::uint8_t bytes[] = {0xAB, 0x01, 0x34, 0x12, 0x78, 0x56, 0x34, 0x12};
    const QByteArray chars = wire::encodePayload(bytes);
    EXPECT_EQ(chars.left(4), QByteArray(";:10"));
    EXPECT_EQ(wire::readByte(chars.constData()), 0xAB);
    EXPECT_EQ(wire::readWord(chars.constData() + 4), 0x1234);
    EXPECT_EQ(wire::readLong(chars.constData() + 8), 0x12345678u);
}

TEST(WireCodec, FramesThatFailTheirChecksum)
{
    const std::uint8_t payload[] = {1, 2, 3, 250};
    const QByteArray good = wire::frame(wire::encodePayload(payload));
    struct Case
    {
        const char* what;
        QByteArray stream;
        std::ptrdiff_t s;
        std::ptrdiff_t p;
    };
    QByteArray changedPayload = good;
    changedPayload[3] = '9';
    QByteArray changedSum = good;
    changedSum[good.size() - 3] = '?';
    const Case cases[] = {
        {"a payload character changed", changedPayload, 0, good.size() - 1},
        {"a checksum character changed", changedSum, 0, good.size() - 1},
        {"no 'S'", good, -1, good.size() - 1},
        {"'P' before 'S'", QByteArray("PS00000000"), 1, 0},
        {"fewer than nine characters between", QByteArray("S0000000P"), 0, 8},
    };
    EXPECT_TRUE(wire::frameChecksumOk(good.constData(), 0, good.size() - 1));
    for (const auto& c : cases)
        EXPECT_FALSE(wire::frameChecksumOk(c.stream.constData(), c.s, c.p)) << c.what;
    // An empty payload with its checksum is a whole frame.
    const QByteArray empty = wire::frame({});
    EXPECT_EQ(empty, QByteArray("S00000000P"));
    EXPECT_TRUE(wire::frameChecksumOk(empty.constData(), 0, empty.size() - 1));
}

TEST(WireCodec, CharacterNumbersWrapAt65536)
{
    // Character 65 536 contributes its code XOR 0; a long frame still checks.
    QByteArray payload(70000, '3');
    const QByteArray f = wire::frame(payload);
    EXPECT_TRUE(wire::frameChecksumOk(f.constData(), 0, f.size() - 1));
    std::uint32_t expected = 0;
    for (std::uint32_t i = 1; i <= 70000; ++i)
        expected += ('3' ^ (i % 65536)) & 0xFFFF;
    EXPECT_EQ(wire::checksum(payload.constData(), 70000), expected);
}

} // namespace

// The memory frame is decoded and checked in one pass; it must give what the separate checksum and
// the pair-by-pair reading give, for odd payloads and past the numbering's wrap too.
TEST(WireCodec, DecodingAFrameChecksItInTheSamePass)
{
    constexpr std::size_t kPastTheWrap = 70001;
    for (const std::size_t payloadChars : {std::size_t{1}, std::size_t{2}, std::size_t{7}, kPastTheWrap}) {
        QByteArray payload;
        for (std::size_t i = 0; i < payloadChars; ++i)
            payload.append(static_cast<char>(wire::kNibbleBase + static_cast<int>((i * 7 + 3) % 16)));
        QByteArray stream = QByteArray("..") + wire::frame(payload) + QByteArray("..");
        const std::ptrdiff_t s = stream.indexOf(wire::kFrameStart);
        const std::ptrdiff_t p = stream.lastIndexOf(wire::kFrameEnd);
        ASSERT_TRUE(wire::frameChecksumOk(stream.constData(), s, p));
        std::vector<std::uint8_t> decoded(static_cast<std::size_t>(p - s));
        const auto bytes = wire::decodeFrame(stream.constData(), s, p, decoded.data());
        ASSERT_TRUE(bytes) << payloadChars;
        ASSERT_EQ(*bytes, static_cast<std::size_t>(p - s - 1) / 2) << payloadChars;
        for (std::size_t k = 0; k < *bytes; ++k)
            ASSERT_EQ(decoded[k], wire::readByte(stream.constData() + s + 1 + 2 * k)) << payloadChars << " byte " << k;

        // One character changed anywhere in the payload fails the frame.
        for (const std::size_t at : {std::size_t{0}, payloadChars / 2, payloadChars - 1}) {
            QByteArray damaged = stream;
            damaged[s + 1 + static_cast<qsizetype>(at)] =
                static_cast<char>(damaged[s + 1 + static_cast<qsizetype>(at)] ^ 1);
            EXPECT_FALSE(wire::decodeFrame(damaged.constData(), s, p, decoded.data())) << payloadChars << " at " << at;
        }
    }
    std::uint8_t none[1];
    EXPECT_FALSE(wire::decodeFrame("S1234567P", 0, 8, none)) << "too short for its checksum";
    EXPECT_FALSE(wire::decodeFrame("P", 1, 0, none)) << "the end before the start";
}
