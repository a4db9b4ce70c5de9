#include "live/LibraryConfig.h"

#include "live/RegularFile.h"

#include <QFile>
#include <array>
#include <fcntl.h>
#include <pugixml.hpp>
#include <span>

namespace pylon {

namespace {

// Where the two values are: the Value attribute of the first element along each path, in document
// order, as the XPath expressions "/Ableton/ContentLibrary/UserLibrary/LibraryProject/ProjectPath/@Value"
// and ".../ProjectName/@Value" select it.
constexpr std::array<const char*, 4> libraryProjectPath{"Ableton", "ContentLibrary", "UserLibrary", "LibraryProject"};

// The first element in document order reached from `parent` through child elements named `names`, in
// turn, the last named `leaf` and holding the attribute `attribute`; that attribute, or a null one.
// A depth-first walk in child order meets the elements a location path selects in document order, so
// this is what the XPath expression selects first, at the cost of a walk over the elements it passes.
pugi::xml_attribute firstAttributeAlong(const pugi::xml_node& parent, std::span<const char* const> names,
                                        const char* leaf, const char* attribute) {
    const char* const name = names.empty() ? leaf : names.front();
    for (pugi::xml_node child = parent.child(name); child; child = child.next_sibling(name)) {
        if (child.type() != pugi::node_element)
            continue;
        if (names.empty()) {
            if (const pugi::xml_attribute found = child.attribute(attribute))
                return found;
        } else if (const pugi::xml_attribute found = firstAttributeAlong(child, names.subspan(1), leaf, attribute)) {
            return found;
        }
    }
    return {};
}

std::optional<QString> libraryProjectValue(const pugi::xml_document& document, const char* leaf) {
    const pugi::xml_attribute value = firstAttributeAlong(document, libraryProjectPath, leaf, "Value");
    if (!value)
        return std::nullopt;
    return trimmedOfSpaceSeparators(QString::fromUtf8(value.value()));
}

bool isSpaceSeparator(QChar c) {
    // Printable ASCII other than the space is never one: the Unicode tables are asked about the rest.
    if (c.unicode() > u' ' && c.unicode() < 0x7f)
        return false;
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
    return begin == 0 && end == text.size() ? text : text.sliced(begin, end - begin);
}

QString appendPathComponent(const QString& base, const QString& component) {
    const bool separated = base.endsWith(QLatin1Char('/'));
    QString path;
    path.reserve(base.size() + (separated ? 0 : 1) + component.size());
    path.append(base);
    if (!separated)
        path.append(QLatin1Char('/'));
    return path.append(component);
}

std::optional<QString> libraryPathFromConfig(QByteArray contents) {
    pugi::xml_document document;
    // Default options: no DOCTYPE node is kept and no entity other than the five predefined ones and
    // character references is expanded, so a declared (or external) entity stays literal text. Parsed
    // in place: the bytes are this function's own.
    if (!document.load_buffer_inplace(contents.data(), size_t(contents.size())))
        return std::nullopt;
    const std::optional<QString> projectPath = libraryProjectValue(document, "ProjectPath");
    if (!projectPath)
        return std::nullopt;
    const std::optional<QString> projectName = libraryProjectValue(document, "ProjectName");
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
    return readLibraryConfigAt(AT_FDCWD, QFile::encodeName(path).constData(), homeDirectory);
}

std::optional<QString> readLibraryConfigAt(int directory, const char* path, const QString& homeDirectory) {
    std::optional<QByteArray> contents = readSmallRegularFileAt(directory, path, maximumLibraryConfigSize);
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
