// Any stream of characters, in chunks of any size, leaves the transfer session in a defined state:
// it never reads or writes outside its buffers, the image it reports fits the image, and a cancel
// always ends it with the port closed.
#include "link/receivebuffer.h"
#include "link/serialport.h"
#include "link/transfersession.h"
#include "transfer/deviceheader.h"
#include "transfer/deviceimage.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <cstdlib>
#include <memory>

using namespace darni;

namespace {

// A port that always opens and swallows what is sent.
class NullPort : public link::SerialPort
{
public:
    void setPortName(const QString& name) override
    {
        if (!m_open)
            m_name = name;
    }
    QString portName() const override { return m_name; }
    void connectPort() override { m_open = true; }
    void disconnectPort() override { m_open = false; }
    bool isConnected() const override { return m_open; }
    qint64 sendData(const char*, qint64 size) override { return m_open ? size : 0; }

private:
    QString m_name;
    bool m_open = false;
};

struct World
{
    link::ReceiveBuffer buffer;
    transfer::Transfer received;
    NullPort port;
};

World& world()
{
    static World w; // the buffers are allocated once, as in the program
    return w;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv);
    QLoggingCategory::setFilterRules(QStringLiteral("darni.*=false"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    World& w = world();
    link::TransferSession session(w.port, w.buffer, w.received);
    bool ended = false;
    QObject::connect(&session, &link::TransferSession::finished, [&] {
        if (w.port.isConnected())
            std::abort(); // the port must be closed before the end is told
        ended = true;
    });
    session.start();

    // The first byte picks the chunk sizes; the rest is the stream.
    const std::size_t chunk = size > 0 ? 1 + data[0] : 1;
    for (std::size_t at = 1; at < size && session.isRunning(); at += chunk) {
        const std::size_t n = std::min(chunk, size - at);
        session.receive(reinterpret_cast<const char*>(data + at), static_cast<int>(n));
    }
    if (w.buffer.count() > link::ReceiveBuffer::kCapacity || w.received.image.size() > transfer::image::kCapacity)
        std::abort();
    session.cancel();
    if (session.isRunning() || w.port.isConnected() || !ended)
        std::abort();
    return 0;
}
