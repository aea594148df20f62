// ornak-sim: an ОРНАК-ТР5 instrument on a pseudo-terminal, speaking the instrument's wire protocol,
// for tests, demonstrations and benchmarks of the program without the instrument itself.
#include "instrument.h"
#include "ptyline.h"

#include "transfer/transferfile.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <csignal>
#include <cstdio>
#include <stdexcept>
#include <unistd.h>

using namespace darni;

namespace {

volatile std::sig_atomic_t g_stop = 0;

void onSignal(int)
{
    g_stop = 1;
}

constexpr auto kPollInterval = std::chrono::milliseconds(5);

struct Options
{
    sim::GeneratorSettings generator;
    QString imageFile;
    QString dumpFile;
    QString linkPath;
    bool noData = false;
    bool fullSpeed = false;
    sim::Faults faults;
};

const char* const kDescription = R"(An ОРНАК-ТР5 instrument on a pseudo-terminal.

Prints the device to use ("ornak-sim: /dev/pts/N") and then answers as the instrument does:
'V' with the device information frame, 'N' with the memory frame, in the instrument's wire
encoding, paced as a 9600 baud 8N2 line (about 873 characters a second) unless --full-speed.
Point the program at the device with DARNI_COM1 (or DARNI_COM2), or use --link.

The memory is generated (--records, --seed: the three sounding modes, materials, product types,
series, measurement times in order with the two blocks interleaved) or taken from a saved
transfer (--image, the file that 'darni-cli receive --save-image' writes).)";

std::optional<Options> parseOptions(const QCoreApplication& app)
{
    QCommandLineParser p;
    p.setApplicationDescription(QString::fromUtf8(kDescription));
    p.addHelpOption();
    p.addVersionOption();
    const QCommandLineOption records(QStringLiteral("records"),
                                     QStringLiteral("Records in the first and second block (default 12,5)."),
                                     QStringLiteral("A,B"));
    const QCommandLineOption seed(QStringLiteral("seed"), QStringLiteral("Seed of the generated records (default 1)."),
                                  QStringLiteral("N"));
    const QCommandLineOption image(QStringLiteral("image"), QStringLiteral("Serve the memory of a saved transfer."),
                                   QStringLiteral("FILE"));
    const QCommandLineOption dump(QStringLiteral("dump-image"),
                                  QStringLiteral("Write the memory, as the program will hold it after a good "
                                                 "transfer, to FILE (saved-transfer format) and go on."),
                                  QStringLiteral("FILE"));
    const QCommandLineOption link(QStringLiteral("link"),
                                  QStringLiteral("Also make PATH a symbolic link to the device."),
                                  QStringLiteral("PATH"));
    const QCommandLineOption fullSpeed(QStringLiteral("full-speed"), QStringLiteral("Send as fast as the line takes."));
    const QCommandLineOption deviceType(QStringLiteral("device-type"),
                                        QStringLiteral("Report this device type instead of 1."), QStringLiteral("N"));
    const QCommandLineOption badChecksum(QStringLiteral("bad-checksum"),
                                         QStringLiteral("Spoil the checksum of the 'header' or 'memory' frame."),
                                         QStringLiteral("FRAME"));
    const QCommandLineOption restart(QStringLiteral("restart-in-memory"),
                                     QStringLiteral("Break off the first memory frame halfway with 'Z'."));
    const QCommandLineOption silent(QStringLiteral("silent"), QStringLiteral("Never answer."));
    const QCommandLineOption noData(QStringLiteral("no-data"),
                                    QStringLiteral("An empty memory: the length words multiply to 0."));
    const QCommandLineOption odd(QStringLiteral("odd-payload"),
                                 QStringLiteral("One lone nibble character more in the memory frame."));
    const QCommandLineOption endWithoutStart(QStringLiteral("end-without-start"),
                                             QStringLiteral("Answer 'V' with a 'P' that has no 'S'."));
    const QCommandLineOption append(QStringLiteral("append-after-transfer"),
                                    QStringLiteral("Measure K more records after each memory frame sent."),
                                    QStringLiteral("K"));
    p.addOptions({records, seed, image, dump, link, fullSpeed, deviceType, badChecksum, restart, silent, noData, odd,
                  endWithoutStart, append});
    p.process(app);

    Options o;
    if (p.isSet(records)) {
        const QStringList ab = p.value(records).split(QLatin1Char(','));
        bool okA = false;
        bool okB = false;
        if (ab.size() != 2 || (o.generator.countA = ab[0].toInt(&okA), !okA) ||
            (o.generator.countB = ab[1].toInt(&okB), !okB) || o.generator.countA < 0 || o.generator.countB < 0 ||
            o.generator.countA > 0xFFFF || o.generator.countB > 0xFFFF) {
            std::fprintf(stderr, "ornak-sim: --records wants two counts A,B of 0..65535\n");
            return std::nullopt;
        }
    }
    if (p.isSet(seed))
        o.generator.seed = p.value(seed).toUInt();
    o.imageFile = p.value(image);
    o.dumpFile = p.value(dump);
    o.linkPath = p.value(link);
    o.fullSpeed = p.isSet(fullSpeed);
    if (p.isSet(deviceType))
        o.faults.deviceType = static_cast<std::uint8_t>(p.value(deviceType).toUInt());
    if (p.isSet(badChecksum)) {
        const QString which = p.value(badChecksum);
        o.faults.badHeaderChecksum = which == QStringLiteral("header");
        o.faults.badMemoryChecksum = which == QStringLiteral("memory");
        if (!o.faults.badHeaderChecksum && !o.faults.badMemoryChecksum) {
            std::fprintf(stderr, "ornak-sim: --bad-checksum wants 'header' or 'memory'\n");
            return std::nullopt;
        }
    }
    o.faults.restartInMemory = p.isSet(restart);
    o.faults.silent = p.isSet(silent);
    o.noData = p.isSet(noData);
    o.faults.oddPayload = p.isSet(odd);
    o.faults.endWithoutStart = p.isSet(endWithoutStart);
    o.faults.appendAfterTransfer = p.value(append).toInt();
    return o;
}

sim::InstrumentMemory memoryFor(const Options& o)
{
    if (o.noData)
        return sim::InstrumentMemory::generated({0, 0, o.generator.seed});
    if (!o.imageFile.isEmpty())
        return sim::InstrumentMemory::fromTransfer(transfer::loadTransferFile(o.imageFile).transfer);
    return sim::InstrumentMemory::generated(o.generator);
}

void serve(sim::Instrument& instrument, sim::PtyLine& line)
{
    while (!g_stop) {
        const QByteArray received = line.receive(line.hasQueued() ? std::chrono::milliseconds(1) : kPollInterval);
        for (const char c : received) {
            const QByteArray answer = instrument.answer(c);
            if (answer.isEmpty())
                continue;
            line.dropQueued(); // a new request starts the instrument's answer afresh
            line.queue(answer);
        }
        line.sendDue();
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ornak-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(DARNI_VERSION));
    const auto options = parseOptions(app);
    if (!options)
        return 2;
    try {
        sim::Instrument instrument(memoryFor(*options), options->faults);
        if (!options->dumpFile.isEmpty())
            transfer::saveTransferFile(options->dumpFile, instrument.memory().asTransfer());
        sim::PtyLine line(!options->fullSpeed);
        if (!options->linkPath.isEmpty()) {
            QFile::remove(options->linkPath);
            if (!QFile::link(line.devicePath(), options->linkPath))
                throw std::runtime_error("cannot make the link " + options->linkPath.toStdString());
        }
        std::signal(SIGTERM, onSignal);
        std::signal(SIGINT, onSignal);
        std::printf("ornak-sim: %s\n", line.devicePath().toLocal8Bit().constData());
        std::fflush(stdout);
        serve(instrument, line);
        if (!options->linkPath.isEmpty())
            QFile::remove(options->linkPath);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ornak-sim: %s\n", e.what());
        return 1;
    }
    return 0;
}
