#include "LiveFixture.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <sys/stat.h>
#include <zip.h>

namespace pylon::test {

LiveFixture::LiveFixture()
    : m_writer(home.path() + QStringLiteral("/logs"), home.path() + QStringLiteral("/logs/test.log"))
    , m_logger(QStringLiteral("installer"), QString::fromLatin1(subsystem), m_writer) {
    rebuild([](AbletonSetupManager::Options&) {});
}

AbletonSetupManager& LiveFixture::rebuild(const std::function<void(AbletonSetupManager::Options&)>& adjust) {
    m_options = AbletonSetupManager::Options{};
    m_options.homeDirectory = home.path();
    m_options.dataHome = home.dataHome();
    adjust(m_options);
    m_manager = std::make_unique<AbletonSetupManager>(m_logger, workspace, m_options);
    return *m_manager;
}

QString LiveFixture::preferencesRoot() const {
    return home.path() + QStringLiteral("/Library/Preferences/Ableton");
}

QString LiveFixture::addPreferenceFolder(const QString& name, const std::optional<QByteArray>& config) {
    const QString folder = makeFolder(preferencesRoot() + QLatin1Char('/') + name);
    if (config)
        home.writeFile(QStringLiteral("Library/Preferences/Ableton/") + name + QStringLiteral("/Library.cfg"), *config);
    return folder;
}

QString LiveFixture::makeFolder(const QString& path) {
    QDir().mkpath(path);
    return path;
}

QStringList LiveFixture::homeTree() const {
    QStringList tree = treeOf(home.path());
    tree.removeIf([](const QString& entry) {
        return entry == QLatin1String("logs") || entry.startsWith(QLatin1String("logs/"));
    });
    return tree;
}

QStringList LiveFixture::logMessages() {
    m_writer.flush();
    const QString text = QString::fromUtf8(readFile(home.path() + QStringLiteral("/logs/test.log")));
    static const QRegularExpression head(
        QStringLiteral(R"((?:^|\n)\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}\.\d{3}Z \[pylon-companion\]\[installer\] )"));
    QStringList messages;
    qsizetype start = -1;
    for (auto it = head.globalMatch(text); it.hasNext();) {
        const auto match = it.next();
        if (start >= 0)
            messages << text.mid(start, match.capturedStart() - start);
        start = match.capturedEnd();
    }
    if (start >= 0)
        messages << text.mid(start).chopped(text.endsWith(QLatin1Char('\n')) ? 1 : 0);
    return messages;
}

QByteArray libraryConfig(const QString& projectPath, const QString& projectName) {
    auto escaped = [](QString value) {
        return value.toHtmlEscaped().replace(QLatin1Char('\''), QLatin1String("&apos;")).toUtf8();
    };
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<Ableton MajorVersion=\"5\" MinorVersion=\"12.0_12049\" Creator=\"Ableton Live 12.1.5\">\n"
           "\t<ContentLibrary>\n\t\t<UserLibrary>\n\t\t\t<LibraryProject>\n"
           "\t\t\t\t<ProjectPath Value=\"" +
           escaped(projectPath) +
           "\" />\n"
           "\t\t\t\t<ProjectName Value=\"" +
           escaped(projectName) +
           "\" />\n"
           "\t\t\t</LibraryProject>\n\t\t</UserLibrary>\n\t</ContentLibrary>\n</Ableton>\n";
}

namespace {
// A task's result type must not be std::exception_ptr itself (QCoro keeps one beside the result).
struct Outcome {
    std::exception_ptr failure;
};
QCoro::Task<Outcome> capture(QCoro::Task<> task) {
    try {
        co_await std::move(task);
    } catch (...) {
        co_return Outcome{std::current_exception()};
    }
    co_return Outcome{};
}
} // namespace

std::exception_ptr failureOf(QCoro::Task<> task) {
    // QCoro::waitFor never returns for a task that throws, so the failure is caught inside.
    return QCoro::waitFor(capture(std::move(task))).failure;
}

QCoro::Task<> discardResult(QCoro::Task<QString> task) {
    co_await std::move(task);
}

QString descriptionOf(const std::exception_ptr& failure) {
    if (!failure)
        return {};
    try {
        std::rethrow_exception(failure);
    } catch (const AbletonSetupManager::RemoteScriptError& error) {
        return error.errorDescription();
    } catch (const AbletonSetupManager::FileError& error) {
        return error.description();
    } catch (const std::exception& error) {
        return QStringLiteral("unexpected exception: ") + QString::fromUtf8(error.what());
    }
}

void writeZip(const QString& path, const QList<ZipEntry>& entries) {
    int error = 0;
    zip_t* archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive)
        qFatal("cannot create %s", qPrintable(path));
    QList<QByteArray> buffers; // must outlive zip_close
    for (const ZipEntry& entry : entries) {
        const QByteArray name = entry.name.toUtf8();
        if (entry.name.endsWith(QLatin1Char('/'))) {
            zip_dir_add(archive, name.chopped(1).constData(), ZIP_FL_ENC_UTF_8);
            continue;
        }
        buffers << (entry.symlinkTarget.isEmpty() ? entry.contents : entry.symlinkTarget.toUtf8());
        zip_source_t* source = zip_source_buffer(archive, buffers.last().constData(), buffers.last().size(), 0);
        const zip_int64_t index = zip_file_add(archive, name.constData(), source, ZIP_FL_ENC_UTF_8);
        if (index < 0)
            qFatal("cannot add %s", name.constData());
        if (!entry.symlinkTarget.isEmpty())
            zip_file_set_external_attributes(archive, zip_uint64_t(index), 0, ZIP_OPSYS_UNIX, (S_IFLNK | 0777u) << 16);
    }
    if (zip_close(archive) != 0)
        qFatal("cannot write %s", qPrintable(path));
}

QStringList zipEntryNames(const QString& path) {
    int error = 0;
    zip_t* archive = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &error);
    if (!archive)
        return {};
    QStringList names;
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i)
        names << QString::fromUtf8(zip_get_name(archive, zip_uint64_t(i), 0));
    zip_discard(archive);
    return names;
}

QString builtArchivePath() {
    return QStringLiteral(PYLON_PRODUCTION_BUNDLE_DIR "/Contents/Resources/Pylon.zip");
}

QStringList treeOf(const QString& root) {
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        entries << QDir(root).relativeFilePath(it.next());
    entries.sort();
    return entries;
}

QString writeScript(const QString& path, const QByteArray& body) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    file.write("#!/bin/sh\n" + body);
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup);
    return path;
}

} // namespace pylon::test
