// Any bytes given as a saved transfer are refused or read within their bounds, and what is read
// serves as a simulated memory without going past the image.
#include "instrumentmemory.h"
#include "transfer/transferfile.h"

#include <QByteArray>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto transfer = darni::transfer::decodeSavedTransfer(bytes);
    if (!transfer)
        return 0;
    if (transfer->checksummed && darni::transfer::encodeSavedTransfer(transfer->transfer) != bytes)
        std::abort(); // what reads must write back the same
    (void)darni::transfer::transferProblem(transfer->transfer);
    const auto memory = darni::sim::InstrumentMemory::fromTransfer(transfer->transfer);
    (void)memory.imagePayload();
    return 0;
}
