// A received transfer kept in a file: the device information payload and the memory image, so that a
// transfer can be decoded again later, served again by the simulator, or attached to a bug report.
//
// Layout (little-endian): "ORNAKIMG", format version (16 bits, 2), payload length (16 bits), the
// device information payload bytes, image length (32 bits), the image bytes as received (the memory
// frame's payload bytes followed by its four checksum bytes), and a CRC-32 of everything before it.
// Version 1, written by earlier builds, is the same without the CRC-32; it still reads.
#pragma once

#include "transfer.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>

namespace darni::transfer {

// A transfer read back from a file.
struct SavedTransfer
{
    Transfer transfer;
    // False for a file of the first version, whose bytes nothing can vouch for.
    bool checksummed = true;
};

// The largest saved transfer there can be: the largest payload and a full memory.
qint64 largestSavedTransfer();

QByteArray encodeSavedTransfer(const Transfer& transfer);
// Nothing when the bytes are not a saved transfer, promise more than they hold or fail their CRC-32.
std::optional<SavedTransfer> decodeSavedTransfer(const QByteArray& bytes);

// What makes a saved transfer unfit to decode, as the transfer itself would have refused it: another
// device type, or block counts that reach past the memory received. Nothing when it is fit.
std::optional<QString> transferProblem(const Transfer& transfer);

// Both throw files::UserError with a Russian text on failure. Loading refuses anything that is not a
// regular file no larger than largestSavedTransfer() before reading it. Saving is all-or-nothing.
void saveTransferFile(const QString& path, const Transfer& transfer);
// The same for a transfer already encoded (encodeSavedTransfer), as a worker thread saves one.
void saveEncodedTransfer(const QString& path, const QByteArray& bytes);
SavedTransfer loadTransferFile(const QString& path);
// Where a transfer received for `tablePath` is kept when the table could not take it: beside the
// table, named by the table and the time, else in the user's home folder. Returns the file's path;
// throws files::UserError when it could be kept nowhere.
QString rescueTransfer(const QString& tablePath, const Transfer& transfer);
// rescueTransfer() told as a sentence for the user: where the data are kept, or why they could not be.
QString rescueTransferReport(const QString& tablePath, const Transfer& transfer);

// Every good transfer into a table is kept in the folder "Передачи" beside the table's file, as
// "<table>-<yyyyMMdd-HHmmss>.ornakimg", so that nothing an instrument ever sent is lost.
QString transferArchiveFolder(const QString& tablePath);
QString transferArchiveFolderName(); // "Передачи"
// Keeps an encoded transfer (encodeSavedTransfer) received at `when` there; returns the file's path.
// Throws files::UserError.
QString archiveTransfer(const QString& tablePath, const QByteArray& encoded, const QDateTime& when);
// What a user reads when a transfer could not be kept there (archiveTransfer's message), the table
// having taken it.
QString archiveFailureMessage(const QString& cause);

} // namespace darni::transfer
