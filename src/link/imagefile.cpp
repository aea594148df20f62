// A received transfer kept in a file.
#include "imagefile.h"

#include "decode/deviceimage.h"

#include <QFile>
#include <QSaveFile>
#include <QtEndian>

#include <stdexcept>

namespace darni::link {

namespace {
const QByteArray kMagic = QByteArrayLiteral("ORNAKIMG");
constexpr std::uint16_t kFormatVersion = 1;
constexpr qsizetype kWordSize = 2;
constexpr qsizetype kLongSize = 4;

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

private:
    const QByteArray& m_bytes;
    qsizetype m_at = 0;
};

std::vector<std::uint8_t> toVector(const QByteArray& b)
{
    return {reinterpret_cast<const std::uint8_t*>(b.constData()),
            reinterpret_cast<const std::uint8_t*>(b.constData()) + b.size()};
}
} // namespace

QByteArray encodeSavedTransfer(const SavedTransfer& t)
{
    QByteArray out = kMagic;
    appendWord(out, kFormatVersion);
    appendWord(out, static_cast<std::uint16_t>(t.headerPayload.size()));
    out.append(reinterpret_cast<const char*>(t.headerPayload.data()), static_cast<qsizetype>(t.headerPayload.size()));
    appendLong(out, static_cast<std::uint32_t>(t.image.size()));
    out.append(reinterpret_cast<const char*>(t.image.data()), static_cast<qsizetype>(t.image.size()));
    return out;
}

std::optional<SavedTransfer> decodeSavedTransfer(const QByteArray& bytes)
{
    Reader r(bytes);
    if (!r.has(kMagic.size()) || r.take(kMagic.size()) != kMagic)
        return std::nullopt;
    const auto version = r.word();
    const auto payloadLength = r.word();
    if (version != kFormatVersion || !payloadLength || !r.has(*payloadLength))
        return std::nullopt;
    SavedTransfer t;
    t.headerPayload = toVector(r.take(*payloadLength));
    const auto imageLength = r.longValue();
    if (!imageLength || *imageLength > decode::image::kCapacity || !r.has(static_cast<qsizetype>(*imageLength)))
        return std::nullopt;
    t.image = toVector(r.take(static_cast<qsizetype>(*imageLength)));
    if (!r.atEnd())
        return std::nullopt;
    return t;
}

void saveTransferFile(const QString& path, const SavedTransfer& transfer)
{
    const QByteArray bytes = encodeSavedTransfer(transfer);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw std::runtime_error(
            QStringLiteral("Не удалось записать файл %1: %2").arg(path, file.errorString()).toStdString());
}

SavedTransfer loadTransferFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error(
            QStringLiteral("Не удалось открыть файл %1: %2").arg(path, file.errorString()).toStdString());
    const auto transfer = decodeSavedTransfer(file.readAll());
    if (!transfer)
        throw std::runtime_error(QStringLiteral("Файл %1 не является сохранённой передачей.").arg(path).toStdString());
    return *transfer;
}

} // namespace darni::link
