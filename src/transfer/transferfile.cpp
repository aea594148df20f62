// A received transfer kept in a file.
#include "transferfile.h"

#include "files/atomicfile.h"
#include "files/fileerror.h"
#include "files/usererror.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <array>
#include <limits>

namespace darni::transfer {

namespace {
const QByteArray kMagic = QByteArrayLiteral("ORNAKIMG");
constexpr std::uint16_t kFirstVersion = 1; // no CRC-32
constexpr std::uint16_t kFormatVersion = 2;
constexpr qsizetype kWordSize = 2;
constexpr qsizetype kLongSize = 4;
// The memory frame's checksum, received with the memory, stands at the image's end.
constexpr std::size_t kImageChecksumBytes = 4;
const QString kRescueSuffix = QStringLiteral(".ornakimg");
const QString kRescueTimeFormat = QStringLiteral("yyyyMMdd-HHmmss");
const QString kArchiveFolder = QStringLiteral("Передачи");

// CRC-32 as zip and PNG compute it (reflected polynomial 0xEDB88320).
constexpr std::uint32_t kCrcPolynomial = 0xEDB88320u;
constexpr std::array<std::uint32_t, 256> crcTable()
{
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1u) ? kCrcPolynomial ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}
constexpr auto kCrcTable = crcTable();

std::uint32_t crc32(const char* data, qsizetype size)
{
    std::uint32_t c = 0xFFFFFFFFu;
    for (qsizetype i = 0; i < size; ++i)
        c = kCrcTable[(c ^ static_cast<std::uint8_t>(data[i])) & 0xFFu] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void appendWord(QByteArray& out, std::uint16_t v)
{
    char b[kWordSize];
    qToLittleEndian(v, b);
    out.append(b, kWordSize);
}

void appendLong(QByteArray& out, std::uint32_t v)
{
    char b[kLongSize];
    qToLittleEndian(v, b);
    out.append(b, kLongSize);
}

// Reads forward through the bytes; every read checks that the bytes are there.
class Reader
{
public:
    explicit Reader(const QByteArray& bytes) : m_bytes(bytes) {}
    bool has(qsizetype n) const { return n >= 0 && m_at + n <= m_bytes.size(); }
    QByteArray take(qsizetype n)
    {
        const QByteArray part = m_bytes.mid(m_at, n);
        m_at += n;
        return part;
    }
    std::optional<std::uint16_t> word()
    {
        if (!has(kWordSize))
            return std::nullopt;
        return qFromLittleEndian<quint16>(take(kWordSize).constData());
    }
    std::optional<std::uint32_t> longValue()
    {
        if (!has(kLongSize))
            return std::nullopt;
        return qFromLittleEndian<quint32>(take(kLongSize).constData());
    }
    bool atEnd() const { return m_at == m_bytes.size(); }
    qsizetype position() const { return m_at; }

private:
    const QByteArray& m_bytes;
    qsizetype m_at = 0;
};

std::vector<std::uint8_t> toVector(const QByteArray& b)
{
    return {reinterpret_cast<const std::uint8_t*>(b.constData()),
            reinterpret_cast<const std::uint8_t*>(b.constData()) + b.size()};
}

std::span<const std::uint8_t> asBytes(const QByteArray& b)
{
    return {reinterpret_cast<const std::uint8_t*>(b.constData()), static_cast<std::size_t>(b.size())};
}
} // namespace

QByteArray encodeSavedTransfer(const Transfer& t)
{
    const std::vector<std::uint8_t>& payload = t.header.payload;
    QByteArray out = kMagic;
    appendWord(out, kFormatVersion);
    appendWord(out, static_cast<std::uint16_t>(payload.size()));
    out.append(reinterpret_cast<const char*>(payload.data()), static_cast<qsizetype>(payload.size()));
    appendLong(out, static_cast<std::uint32_t>(t.image.size()));
    out.append(reinterpret_cast<const char*>(t.image.data()), static_cast<qsizetype>(t.image.size()));
    appendLong(out, crc32(out.constData(), out.size()));
    return out;
}

qint64 largestSavedTransfer()
{
    return kMagic.size() + kWordSize + kWordSize + std::numeric_limits<std::uint16_t>::max() + kLongSize +
           static_cast<qint64>(image::kCapacity) + kLongSize;
}

std::optional<SavedTransfer> decodeSavedTransfer(const QByteArray& bytes)
{
    Reader r(bytes);
    if (!r.has(kMagic.size()) || r.take(kMagic.size()) != kMagic)
        return std::nullopt;
    const auto version = r.word();
    const auto payloadLength = r.word();
    if ((version != kFormatVersion && version != kFirstVersion) || !payloadLength || !r.has(*payloadLength))
        return std::nullopt;
    SavedTransfer t;
    t.checksummed = version == kFormatVersion;
    t.transfer.header = DeviceHeader::fromPayload(toVector(r.take(*payloadLength)));
    const auto imageLength = r.longValue();
    if (!imageLength || *imageLength > image::kCapacity || !r.has(static_cast<qsizetype>(*imageLength)))
        return std::nullopt;
    t.transfer.image.assign(asBytes(r.take(static_cast<qsizetype>(*imageLength))));
    if (t.checksummed) {
        const qsizetype covered = r.position();
        const auto crc = r.longValue();
        if (!crc || *crc != crc32(bytes.constData(), covered))
            return std::nullopt;
    }
    if (!r.atEnd())
        return std::nullopt;
    return t;
}

std::optional<QString> transferProblem(const Transfer& t)
{
    const DeviceHeader& header = t.header;
    if (header.deviceType != DeviceHeader::kOrnakDeviceType)
        return QStringLiteral("Передача сделана не прибором ОРНАК-ТР5 (тип прибора %1).").arg(header.deviceType);
    const std::size_t memoryEnd = t.image.size() >= kImageChecksumBytes ? t.image.size() - kImageChecksumBytes : 0;
    const std::size_t second = image::secondBlockOffset(header.recordCountA);
    const auto tooMany = QStringLiteral("Число записей в передаче (%1/%2) больше, чем помещается в принятой памяти.");
    if (second + image::kBlockHeaderLength > memoryEnd)
        return tooMany.arg(header.recordCountA).arg(QStringLiteral("?"));
    const std::size_t secondCount = t.image.word(second);
    if (second + image::kBlockHeaderLength + image::kRecordLength * secondCount > memoryEnd)
        return tooMany.arg(header.recordCountA).arg(secondCount);
    return std::nullopt;
}

void saveTransferFile(const QString& path, const Transfer& transfer)
{
    saveEncodedTransfer(path, encodeSavedTransfer(transfer));
}

void saveEncodedTransfer(const QString& path, const QByteArray& bytes)
{
    try {
        files::AtomicFile file(path);
        file.write(bytes);
        file.commit();
    } catch (const files::FileError& e) {
        throw files::UserError(QStringLiteral("Не удалось записать файл %1: %2").arg(path, e.reason()));
    }
}

SavedTransfer loadTransferFile(const QString& path)
{
    const QFileInfo info(path);
    const auto refuse = [&path](files::FileCause cause) {
        return files::UserError(QStringLiteral("Не удалось открыть файл %1: %2.").arg(path, files::causeText(cause)));
    };
    if (!info.exists())
        throw refuse(files::FileCause::NotFound);
    if (!info.isFile())
        throw refuse(files::FileCause::NotAFile);
    if (info.size() > largestSavedTransfer())
        throw files::UserError(
            QStringLiteral("Файл %1 больше любой передачи прибора: это не сохранённая передача.").arg(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw refuse(files::FileCause::NoPermission);
    auto transfer = decodeSavedTransfer(file.read(largestSavedTransfer() + 1));
    if (!transfer)
        throw files::UserError(QStringLiteral("Файл %1 не является сохранённой передачей.").arg(path));
    return std::move(*transfer);
}

QString rescueTransfer(const QString& tablePath, const Transfer& transfer)
{
    const QFileInfo table(tablePath);
    const QString name = table.completeBaseName() + QLatin1Char('-') +
                         QDateTime::currentDateTime().toString(kRescueTimeFormat) + kRescueSuffix;
    QString lastError;
    for (const QString& folder : {table.absolutePath(), QDir::homePath()}) {
        const QString path = QDir(folder).filePath(name);
        try {
            saveTransferFile(path, transfer);
            return path;
        } catch (const files::UserError& e) {
            lastError = e.message();
        }
    }
    throw files::UserError(lastError);
}

QString transferArchiveFolder(const QString& tablePath)
{
    return QFileInfo(tablePath).absoluteDir().filePath(kArchiveFolder);
}

QString transferArchiveFolderName()
{
    return kArchiveFolder;
}

QString archiveTransfer(const QString& tablePath, const QByteArray& encoded, const QDateTime& when)
{
    const QDir folder(transferArchiveFolder(tablePath));
    if (!folder.exists() && !QDir().mkpath(folder.path()))
        throw files::UserError(
            QStringLiteral("Не удалось создать папку %1.").arg(QDir::toNativeSeparators(folder.path())));
    const QString stem = QFileInfo(tablePath).completeBaseName() + QLatin1Char('-') + when.toString(kRescueTimeFormat);
    // Two transfers within one second each keep their own file.
    QString path = folder.filePath(stem + kRescueSuffix);
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = folder.filePath(stem + QLatin1Char('-') + QString::number(n) + kRescueSuffix);
    saveEncodedTransfer(path, encoded);
    return path;
}

QString archiveFailureMessage(const QString& cause)
{
    QString sentence = cause;
    if (!sentence.endsWith(QLatin1Char('.')))
        sentence += QLatin1Char('.');
    return QStringLiteral("Принятые данные не сохранены в папке передач: %1 Таблица записана.").arg(sentence);
}

QString rescueTransferReport(const QString& tablePath, const Transfer& transfer)
{
    try {
        return QStringLiteral("Принятые данные сохранены в файле %1.")
            .arg(QDir::toNativeSeparators(rescueTransfer(tablePath, transfer)));
    } catch (const files::UserError& e) {
        return QStringLiteral("Принятые данные сохранить не удалось: %1").arg(e.message());
    }
}

} // namespace darni::transfer
