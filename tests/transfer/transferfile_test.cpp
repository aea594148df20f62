// Saved transfers: written, read back, and refused when damaged.
#include "instrumentmemory.h"
#include "transfer/transferfile.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

using namespace darni;

namespace {

TEST(SavedTransfer, RoundTripsAndServesTheSameMemory)
{
    const auto memory = sim::InstrumentMemory::generated({7, 3, 9});
    const transfer::Transfer saved = memory.asTransfer();
    const QByteArray bytes = transfer::encodeSavedTransfer(saved);
    const auto back = transfer::decodeSavedTransfer(bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->transfer.header.payload, saved.header.payload);
    EXPECT_EQ(back->transfer.image, saved.image);

    // The simulator serves a saved transfer as the same memory.
    const auto again = sim::InstrumentMemory::fromTransfer(back->transfer);
    EXPECT_EQ(again.imagePayload(), memory.imagePayload());
    EXPECT_EQ(again.headerPayload(), memory.headerPayload());
}

TEST(SavedTransfer, DamagedFilesAreRefused)
{
    const QByteArray good = transfer::encodeSavedTransfer(sim::InstrumentMemory::generated({2, 1, 1}).asTransfer());
    QByteArray wrongMagic = good;
    wrongMagic[0] = 'X';
    QByteArray wrongVersion = good;
    wrongVersion[8] = 3;
    QByteArray flipped = good;
    flipped[good.size() - 10] = static_cast<char>(flipped[good.size() - 10] ^ 0x01); // a bit of the image
    QByteArray hugeImage = good;
    hugeImage[8 + 2 + 2 + 13 + 3] = '\x7F';
    for (const auto& [what, bytes] :
         std::vector<std::pair<const char*, QByteArray>>{{"empty", QByteArray()},
                                                         {"wrong magic", wrongMagic},
                                                         {"wrong version", wrongVersion},
                                                         {"cut short", good.left(good.size() - 1)},
                                                         {"trailing bytes", good + 'x'},
                                                         {"a bit flipped", flipped},
                                                         {"an image beyond the capacity", hugeImage}})
        EXPECT_FALSE(transfer::decodeSavedTransfer(bytes)) << what;
}

TEST(SavedTransfer, FilesOfTheFirstVersionReadWithoutAChecksum)
{
    const transfer::Transfer saved = sim::InstrumentMemory::generated({2, 1, 1}).asTransfer();
    QByteArray first = transfer::encodeSavedTransfer(saved);
    first.chop(4); // no CRC-32
    first[8] = 1;  // version 1
    const auto back = transfer::decodeSavedTransfer(first);
    ASSERT_TRUE(back);
    EXPECT_FALSE(back->checksummed);
    EXPECT_EQ(back->transfer.image, saved.image);
    EXPECT_TRUE(transfer::decodeSavedTransfer(transfer::encodeSavedTransfer(saved))->checksummed);
}

TEST(SavedTransfer, TransfersAreCheckedAsTheInstrumentLinkChecksThem)
{
    const transfer::Transfer good = sim::InstrumentMemory::generated({3, 2, 5}).asTransfer();
    EXPECT_EQ(transfer::transferProblem(good), std::nullopt);

    transfer::Transfer otherDevice = good;
    otherDevice.header.deviceType = 0;
    transfer::Transfer allOnes = good;
    allOnes.image.assign(std::vector<std::uint8_t>(good.image.size(), 0xFF));
    transfer::Transfer cut = good;
    cut.image.setSize(cut.image.size() / 2);
    for (const auto& [what, received] : std::vector<std::pair<const char*, const transfer::Transfer*>>{
             {"device type 0", &otherDevice}, {"every byte 0xFF", &allOnes}, {"memory cut short", &cut}}) {
        const auto problem = transfer::transferProblem(*received);
        ASSERT_TRUE(problem) << what;
        EXPECT_FALSE(problem->isEmpty()) << what;
    }
}

TEST(SavedTransfer, OnlyRegularFilesOfAPossibleSizeAreRead)
{
    QTemporaryDir dir;
    for (const QString& path : {QStringLiteral("/dev/zero"), dir.path(), dir.filePath(QStringLiteral("none"))}) {
        try {
            (void)transfer::loadTransferFile(path);
            ADD_FAILURE() << "read " << path.toStdString();
        } catch (const std::runtime_error& e) {
            EXPECT_TRUE(QString::fromUtf8(e.what()).contains(path)) << e.what();
        }
    }
    QFile big(dir.filePath(QStringLiteral("big.img")));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(transfer::largestSavedTransfer() + 1));
    big.close();
    EXPECT_THROW((void)transfer::loadTransferFile(big.fileName()), std::runtime_error);
}

} // namespace
