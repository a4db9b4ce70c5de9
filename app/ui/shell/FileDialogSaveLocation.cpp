#include "ui/shell/FileDialogSaveLocation.h"

#include <QDir>
#include <QFileDialog>
#include <QStandardPaths>
#include <qcoro/qcorosignal.h>

namespace pylon::ui {

std::function<std::optional<QString>(const QString&)> FileDialogSaveLocation::nextAnswer;

FileDialogSaveLocation::FileDialogSaveLocation(QWidget* parent)
    : m_parent(parent) {}

QCoro::Task<std::optional<QString>> FileDialogSaveLocation::chooseLocation(QString suggestedFileName) {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::homePath();
    const QString suggested = folder + QLatin1Char('/') + suggestedFileName;
    if (nextAnswer)
        co_return nextAnswer(suggested);

    QPointer<QFileDialog> dialog = new QFileDialog(m_parent, QStringLiteral("Save diagnostic report"), suggested,
                                                   QStringLiteral("ZIP archives (*.zip)"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setDefaultSuffix(QStringLiteral("zip"));
    dialog->selectFile(suggested);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->open();
    const int result = co_await qCoro(dialog.data(), &QFileDialog::finished);
    if (!dialog || result != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        co_return std::nullopt;
    co_return dialog->selectedFiles().constFirst();
}

} // namespace pylon::ui
