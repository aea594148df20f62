// Saved transfers: written, read back, and refused when damaged.
#include "instrumentmemory.h"
#include "link/imagefile.h"

#include <gtest/gtest.h>

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
    wrongVersion[8] = 2;
    QByteArray hugeImage = good;
    hugeImage[8 + 2 + 2 + 13 + 3] = '\x7F';
    for (const auto& [what, bytes] : std::vector<std::pair<const char*, QByteArray>>{
             {"empty", QByteArray()},
             {"wrong magic", wrongMagic},
             {"wrong version", wrongVersion},
             {"cut short", good.left(good.size() - 1)},
             {"trailing bytes", good + 'x'},
             {"an image beyond the capacity", hugeImage}})
        EXPECT_FALSE(link::decodeSavedTransfer(bytes)) << what;
}

} // namespace
