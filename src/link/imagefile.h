// A received transfer kept in a file: the device information payload and the memory image, so that a
// transfer can be decoded again later, served again by the simulator, or attached to a bug report.
//
// Layout (little-endian): "ORNAKIMG", format version (16 bits, 1), payload length (16 bits), the
// device information payload bytes, image length (32 bits), the image bytes as received (the memory
// frame's payload bytes followed by its four checksum bytes).
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace darni::link {

struct SavedTransfer
{
    std::vector<std::uint8_t> headerPayload;
    std::vector<std::uint8_t> image;
};

QByteArray encodeSavedTransfer(const SavedTransfer& transfer);
// Nothing when the bytes are not a saved transfer or promise more than they hold.
std::optional<SavedTransfer> decodeSavedTransfer(const QByteArray& bytes);

// Both throw std::runtime_error with a Russian text on failure.
void saveTransferFile(const QString& path, const SavedTransfer& transfer);
SavedTransfer loadTransferFile(const QString& path);

} // namespace darni::link
