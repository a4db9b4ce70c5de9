// Live's Library.cfg, read from every Live preference folder (and every Wine prefix) it finds: any
// bytes give a path or nothing, a path that comes back is never empty, and it is what pugixml's own
// XPath engine selects with the expressions that name the User Library.

#include "FuzzCheck.h"
#include "live/LibraryConfig.h"

#include <cstddef>
#include <cstdint>
#include <pugixml.hpp>

using pylon::fuzz::check;

namespace {

// The value the XPath expression selects first, trimmed as the reader trims it.
std::optional<QString> selected(const pugi::xml_document& document, const char* expression) {
    const pugi::xpath_node node = pugi::xpath_query(expression).evaluate_node(document);
    if (!node)
        return std::nullopt;
    return pylon::trimmedOfSpaceSeparators(QString::fromUtf8(node.attribute().value()));
}

// The reader's answer computed through XPath.
std::optional<QString> throughXPath(QByteArray contents) {
    pugi::xml_document document;
    if (!document.load_buffer_inplace(contents.data(), size_t(contents.size())))
        return std::nullopt;
    const std::optional<QString> path =
        selected(document, "/Ableton/ContentLibrary/UserLibrary/LibraryProject/ProjectPath/@Value");
    const std::optional<QString> name =
        selected(document, "/Ableton/ContentLibrary/UserLibrary/LibraryProject/ProjectName/@Value");
    if (!path || !name || path->isEmpty() || name->isEmpty())
        return std::nullopt;
    return pylon::appendPathComponent(*path, *name);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::optional<QString> written = pylon::libraryPathFromConfig(input);
    check(written == throughXPath(input), "the reader selects what the XPath expressions select");
    const QString home = QStringLiteral("/home/alice");
    const std::optional<QString> path = pylon::userLibraryPathFromConfig(input, home);
    if (!path)
        return 0;
    check(!path->isEmpty(), "a found path is not empty");
    check(!path->startsWith(QLatin1String("~/")), "a leading ~/ is replaced by the home folder");
    return 0;
}
