// Saved transfers: written, read back, and refused when damaged.
#include "instrumentmemory.h"
#include "link/imagefile.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

using namespace darni;

namespace {

TEST(SavedTransfer, RoundTripsAndServesTheSameMemory)
{
    const auto memory = sim::InstrumentMemory::generated({7, 3, 9});
    const link::SavedTransfer saved = memory.asSavedTransfer();
    const QByteArray bytes = link::encodeSavedTransfer(saved);
    const auto back = link::decodeSavedTransfer(bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->headerPayload, saved.headerPayload);
    EXPECT_EQ(back->image, saved.image);

    // The simulator serves a saved transfer as the same memory.
    const auto again = sim::InstrumentMemory::fromSavedTransfer(*back);
    EXPECT_EQ(again.imagePayload(), memory.imagePayload());
    EXPECT_EQ(again.headerPayload(), memory.headerPayload());
}

TEST(SavedTransfer, DamagedFilesAreRefused)
{
    const QByteArray good = link::encodeSavedTransfer(sim::InstrumentMemory::generated({2, 1, 1}).asSavedTransfer());
    QByteArray wrongMagic = good;
    wrongMagic[0] = 'X';
    QByteArray wrongVersion = good;
    wrongVersion[8] = 3;
    QByteArray flipped = good;
    flipped[good.size() - 10] = static_cast<char>(flipped[good.size() - 10] ^ 0x01); // a bit of the image
    QByteArray hugeImage = good;
    hugeImage[8 + 2 + 2 + 13 + 3] = '\x7F';
    for (const auto& [what, bytes] : std::vector<std::pair<const char*, QByteArray>>{
             {"empty", QByteArray()},
             {"wrong magic", wrongMagic},
             {"wrong version", wrongVersion},
             {"cut short", good.left(good.size() - 1)},
             {"trailing bytes", good + 'x'},
             {"a bit flipped", flipped},
             {"an image beyond the capacity", hugeImage}})
        EXPECT_FALSE(link::decodeSavedTransfer(bytes)) << what;
}

TEST(SavedTransfer, FilesOfTheFirstVersionReadWithoutAChecksum)
{
    const link::SavedTransfer saved = sim::InstrumentMemory::generated({2, 1, 1}).asSavedTransfer();
    QByteArray first = link::encodeSavedTransfer(saved);
    first.chop(4);   // no CRC-32
    first[8] = 1;    // version 1
    const auto back = link::decodeSavedTransfer(first);
    ASSERT_TRUE(back);
    EXPECT_FALSE(back->checksummed);
    EXPECT_EQ(back->image, saved.image);
    EXPECT_TRUE(link::decodeSavedTransfer(link::encodeSavedTransfer(saved))->checksummed);
}

TEST(SavedTransfer, TransfersAreCheckedAsTheInstrumentLinkChecksThem)
{
    const link::SavedTransfer good = sim::InstrumentMemory::generated({3, 2, 5}).asSavedTransfer();
    EXPECT_EQ(link::transferProblem(good), std::nullopt);

    link::SavedTransfer otherDevice = good;
    otherDevice.headerPayload[1] = 0; // the device type byte
    link::SavedTransfer allOnes = good;
    std::fill(allOnes.image.begin(), allOnes.image.end(), 0xFF);
    link::SavedTransfer cut = good;
    cut.image.resize(cut.image.size() / 2);
    for (const auto& [what, transfer] : std::vector<std::pair<const char*, link::SavedTransfer>>{
             {"device type 0", otherDevice}, {"every byte 0xFF", allOnes}, {"memory cut short", cut}}) {
        const auto problem = link::transferProblem(transfer);
        ASSERT_TRUE(problem) << what;
        EXPECT_FALSE(problem->isEmpty()) << what;
    }
}

TEST(SavedTransfer, OnlyRegularFilesOfAPossibleSizeAreRead)
{
    QTemporaryDir dir;
    for (const QString& path : {QStringLiteral("/dev/zero"), dir.path(), dir.filePath(QStringLiteral("none"))}) {
        try {
            (void)link::loadTransferFile(path);
            ADD_FAILURE() << "read " << path.toStdString();
        } catch (const std::runtime_error& e) {
            EXPECT_TRUE(QString::fromUtf8(e.what()).contains(path)) << e.what();
        }
    }
    QFile big(dir.filePath(QStringLiteral("big.img")));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(link::largestSavedTransfer() + 1));
    big.close();
    EXPECT_THROW((void)link::loadTransferFile(big.fileName()), std::runtime_error);
}

} // namespace
