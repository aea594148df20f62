// Runs one transfer from the instrument without a window, telling its progress on stderr.
#pragma once

#include "decode/deviceimage.h"
#include "link/deviceheader.h"
#include "link/portnames.h"
#include "link/receivebuffer.h"

#include <QString>

namespace darni::cli {

struct TransferOutcome
{
    bool ok = false;
    QString message; // empty when ok
};

class HeadlessTransfer
{
public:
    // The instrument is looked for on the program's COM1 then COM2, or on `port` alone when given.
    explicit HeadlessTransfer(const QString& port);

    TransferOutcome run();

    const link::DeviceHeader& header() const { return m_header; }
    const decode::DeviceImage& image() const { return m_image; }

private:
    link::PortNameMap m_names;
    link::ReceiveBuffer m_buffer;
    link::DeviceHeader m_header;
    decode::DeviceImage m_image;
};

} // namespace darni::cli
