#include "live/LibraryConfig.h"

#include "live/RegularFile.h"

#include <pugixml.hpp>

namespace pylon {

namespace {

const char* const projectPathExpression = "/Ableton/ContentLibrary/UserLibrary/LibraryProject/ProjectPath/@Value";
const char* const projectNameExpression = "/Ableton/ContentLibrary/UserLibrary/LibraryProject/ProjectName/@Value";

bool isSpaceSeparator(QChar c) {
    return c == u'\t' || c.category() == QChar::Separator_Space;
}

} // namespace

QString trimmedOfSpaceSeparators(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isSpaceSeparator(text[begin]))
        ++begin;
    while (end > begin && isSpaceSeparator(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

std::optional<QString> xpathStringValue(const pugi::xml_document& document, const char* expression) {
    try {
        const pugi::xpath_query query(expression);
        if (!query)
            return std::nullopt;
        // The first selected node in document order.
        const pugi::xpath_node node = query.evaluate_node(document);
        if (!node)
            return std::nullopt;
        const char* value = node.attribute() ? node.attribute().value() : node.node().child_value();
        return trimmedOfSpaceSeparators(QString::fromUtf8(value));
    } catch (const pugi::xpath_exception&) {
        return std::nullopt;
    }
}

QString appendPathComponent(const QString& base, const QString& component) {
    if (base.endsWith(QLatin1Char('/')))
        return base + component;
    return base + QLatin1Char('/') + component;
}

std::optional<QString> libraryPathFromConfig(const QByteArray& contents) {
    pugi::xml_document document;
    // Default options: no DOCTYPE node is kept and no entity other than the five predefined ones and
    // character references is expanded, so a declared (or external) entity stays literal text.
    if (!document.load_buffer(contents.constData(), size_t(contents.size())))
        return std::nullopt;
    const std::optional<QString> projectPath = xpathStringValue(document, projectPathExpression);
    if (!projectPath)
        return std::nullopt;
    const std::optional<QString> projectName = xpathStringValue(document, projectNameExpression);
    if (!projectName)
        return std::nullopt;
    if (projectPath->isEmpty() || projectName->isEmpty())
        return std::nullopt;

    return appendPathComponent(*projectPath, *projectName);
}

std::optional<QString> userLibraryPathFromConfig(const QByteArray& contents, const QString& homeDirectory) {
    const std::optional<QString> joined = libraryPathFromConfig(contents);
    // Only "~/" means the home folder; "~name/…" and relative paths are kept as they are.
    if (joined && joined->startsWith(QLatin1String("~/")))
        return appendPathComponent(homeDirectory, joined->mid(2));
    return joined;
}

std::optional<QString> readLibraryConfig(const QString& path, const QString& homeDirectory) {
    const std::optional<QByteArray> contents = readSmallRegularFile(path, maximumLibraryConfigSize);
    if (!contents)
        return std::nullopt;
    return userLibraryPathFromConfig(*contents, homeDirectory);
}

std::optional<QString> readLibraryConfigPath(const QString& path) {
    const std::optional<QByteArray> contents = readSmallRegularFile(path, maximumLibraryConfigSize);
    if (!contents)
        return std::nullopt;
    return libraryPathFromConfig(*contents);
}

} // namespace pylon
