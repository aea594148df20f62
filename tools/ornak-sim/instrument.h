// How the simulated instrument answers the program's commands, faults included.
#pragma once

#include "instrumentmemory.h"

#include <QByteArray>

#include <optional>

namespace darni::sim {

struct Faults
{
    std::optional<std::uint8_t> deviceType; // report another instrument kind
    bool badHeaderChecksum = false;
    bool badMemoryChecksum = false;
    bool restartInMemory = false; // once: break off the memory frame with 'Z'
    bool silent = false;          // never answer
    bool oddPayload = false;      // one lone nibble character more in the memory frame
    bool endWithoutStart = false; // answer 'V' with a 'P' and no 'S'
    int appendAfterTransfer = 0;  // records measured between two transfers
};

class Instrument
{
public:
    Instrument(InstrumentMemory memory, Faults faults);

    // The characters to send in answer to one received character (none for most).
    QByteArray answer(char command);

    const InstrumentMemory& memory() const { return m_memory; }
    int transfersServed() const { return m_transfers; }

private:
    QByteArray deviceInfoFrame() const;
    QByteArray memoryFrame();

    InstrumentMemory m_memory;
    Faults m_faults;
    bool m_restartPending;
    int m_transfers = 0;
};

// Makes a frame fail its checksum by changing one checksum character.
void spoilChecksum(QByteArray& frame);

} // namespace darni::sim
