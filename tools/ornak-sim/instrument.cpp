// How the simulated instrument answers.
#include "instrument.h"

#include "link/wirecodec.h"

namespace darni::sim {

namespace wire = link::wire;

namespace {
constexpr char kLoneNibble = '7';
} // namespace

Instrument::Instrument(InstrumentMemory memory, Faults faults)
    : m_memory(std::move(memory)), m_faults(faults), m_restartPending(faults.restartInMemory)
{
    if (m_faults.deviceType)
        m_memory.deviceType = *m_faults.deviceType;
}

void spoilChecksum(QByteArray& frame)
{
    // The checksum's last character, right before 'P', is a nibble; move it to another nibble.
    const qsizetype at = frame.size() - 2;
    frame[at] = static_cast<char>(wire::kNibbleBase + ((frame[at] - wire::kNibbleBase + 1) & 0x0F));
}

QByteArray Instrument::deviceInfoFrame() const
{
    if (m_faults.endWithoutStart)
        return QByteArray(1, wire::kFrameEnd);
    QByteArray f = wire::frame(wire::encodePayload(m_memory.headerPayload()));
    if (m_faults.badHeaderChecksum)
        spoilChecksum(f);
    return f;
}

QByteArray Instrument::memoryFrame()
{
    QByteArray payload = wire::encodePayload(m_memory.imagePayload());
    if (m_faults.oddPayload)
        payload.append(kLoneNibble);
    QByteArray f = wire::frame(payload);
    if (m_restartPending) {
        m_restartPending = false;
        return f.left(f.size() / 2) + wire::kRestart;
    }
    if (m_faults.badMemoryChecksum)
        spoilChecksum(f);
    ++m_transfers;
    if (m_faults.appendAfterTransfer > 0)
        m_memory.appendRecords(m_faults.appendAfterTransfer);
    return f;
}

QByteArray Instrument::answer(char command)
{
    if (m_faults.silent)
        return {};
    switch (command) {
    case wire::kRequestDeviceInfo:
        return deviceInfoFrame();
    case wire::kRequestMemory:
        return memoryFrame();
    default:
        return {};
    }
}

} // namespace darni::sim
