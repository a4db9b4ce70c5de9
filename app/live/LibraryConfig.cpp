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
        return xpathStringValue(document, query);
    } catch (const pugi::xpath_exception&) {
        return std::nullopt;
    }
}

std::optional<QString> xpathStringValue(const pugi::xml_document& document, const pugi::xpath_query& query) {
    try {
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

std::optional<QString> libraryPathFromConfig(QByteArray contents) {
    pugi::xml_document document;
    // Default options: no DOCTYPE node is kept and no entity other than the five predefined ones and
    // character references is expanded, so a declared (or external) entity stays literal text. Parsed
    // in place: the bytes are this function's own.
    if (!document.load_buffer_inplace(contents.data(), size_t(contents.size())))
        return std::nullopt;
    // Compiled once per thread: a query costs more to compile than to evaluate on a small document.
    thread_local const pugi::xpath_query projectPathQuery(projectPathExpression);
    thread_local const pugi::xpath_query projectNameQuery(projectNameExpression);
    const std::optional<QString> projectPath = xpathStringValue(document, projectPathQuery);
    if (!projectPath)
        return std::nullopt;
    const std::optional<QString> projectName = xpathStringValue(document, projectNameQuery);
    if (!projectName)
        return std::nullopt;
    if (projectPath->isEmpty() || projectName->isEmpty())
        return std::nullopt;

    return appendPathComponent(*projectPath, *projectName);
}

std::optional<QString> userLibraryPathFromConfig(QByteArray contents, const QString& homeDirectory) {
    const std::optional<QString> joined = libraryPathFromConfig(std::move(contents));
    // Only "~/" means the home folder; "~name/…" and relative paths are kept as they are.
    if (joined && joined->startsWith(QLatin1String("~/")))
        return appendPathComponent(homeDirectory, joined->mid(2));
    return joined;
}

std::optional<QString> readLibraryConfig(const QString& path, const QString& homeDirectory) {
    std::optional<QByteArray> contents = readSmallRegularFile(path, maximumLibraryConfigSize);
    if (!contents)
        return std::nullopt;
    return userLibraryPathFromConfig(std::move(*contents), homeDirectory);
}

std::optional<QString> readLibraryConfigPath(const QString& path) {
    std::optional<QByteArray> contents = readSmallRegularFile(path, maximumLibraryConfigSize);
    if (!contents)
        return std::nullopt;
    return libraryPathFromConfig(std::move(*contents));
}

} // namespace pylon
