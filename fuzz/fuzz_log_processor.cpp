// Log lines as the application and the companion wrote them, cut, shortened and scrubbed for a
// diagnostic report: every line comes out as exactly one line, and the summary heads any of them.

#include "FuzzCheck.h"

#include "diagnostics/LogProcessor.h"

#include <cstddef>
#include <cstdint>

using pylon::fuzz::check;

namespace {

// Building a processor compiles its patterns; one of each kind serves every input.
const pylon::LogProcessor& processor(bool simplify) {
    auto make = [](bool on) {
        pylon::LogProcessingConfig config;
        config.homeDirectory = QStringLiteral("/home/alice/");
        config.simplifyTimestamps = on;
        config.mapModuleNames = on;
        return pylon::LogProcessor(config);
    };
    static const pylon::LogProcessor simplifying = make(true);
    static const pylon::LogProcessor literal = make(false);
    return simplify ? simplifying : literal;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    // The first byte picks the configuration; the rest is the log.
    const pylon::LogProcessor& logProcessor = processor((data[0] & 1) != 0);
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const QStringList lines = text.split(QLatin1Char('\n'));
    const QStringList processed = logProcessor.processLines(lines);
    check(processed.size() == lines.size(), "one processed line per line");
    for (const QString& line : lines)
        (void)logProcessor.redact(line);
    check(logProcessor.summary(processed).endsWith(QLatin1Char('\n')), "the summary ends with a line feed");
    return 0;
}
