#include "ui/onboarding/OnboardingResources.h"

#include "platform/Bundle.h"
#include "ui/onboarding/OnboardingContent.h"

#include <QFile>
#include <QStringDecoder>

namespace pylon::ui {

OnboardingResources::OnboardingResources(const QString& bundlePath)
    : m_bundlePath(bundlePath) {}

QString OnboardingResources::agreementText() const {
    const EulaContent content = eulaContent();
    const std::optional<QString> path =
        Bundle::atPath(m_bundlePath).resourcePath(content.resourceName, content.resourceExtension);
    if (!path)
        return content.loadError;
    return readText(*path).value_or(content.loadError);
}

QPixmap OnboardingResources::image(const QString& name) const {
    const std::optional<QString> path = Bundle::atPath(m_bundlePath).resourcePath(name, QStringLiteral("png"));
    return path ? QPixmap(*path) : QPixmap();
}

QString decodeText(const QByteArray& bytes) {
    // A byte-order mark names its encoding (the decoder drops the mark); without one, UTF-8 when the
    // bytes are valid UTF-8.
    const QStringConverter::Encoding encoding =
        QStringConverter::encodingForData(bytes).value_or(QStringConverter::Utf8);
    QStringDecoder decoder(encoding);
    const QString text = decoder.decode(bytes);
    if (!decoder.hasError())
        return text;
    return QString::fromLatin1(bytes);
}

std::optional<QString> readText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return decodeText(bytes);
}

} // namespace pylon::ui
