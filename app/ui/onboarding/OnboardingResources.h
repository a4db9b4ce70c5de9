#pragma once

#include <QByteArray>
#include <QPixmap>
#include <QString>
#include <optional>

namespace pylon::ui {

// The onboarding's files in an application bundle's resources: the licence agreement and the
// images (PNG files named after their asset, for example "PylonHero.png").
class OnboardingResources {
public:
    // Resources of the bundle at `bundlePath` (its Contents/Resources folder).
    explicit OnboardingResources(const QString& bundlePath);

    // The agreement text, or the load-error text when the resource is missing or unreadable.
    QString agreementText() const;

    // The image asset `name`, or a null pixmap when it is missing or not an image.
    QPixmap image(const QString& name) const;

    const QString& bundlePath() const { return m_bundlePath; }

private:
    QString m_bundlePath;
};

// The text of a file's bytes, decoded with the encoding a byte-order mark names, else as UTF-8
// when the bytes are valid UTF-8, else as Latin-1.
QString decodeText(const QByteArray& bytes);

// The text of the file at `path`; absent when it cannot be read.
std::optional<QString> readText(const QString& path);

} // namespace pylon::ui
