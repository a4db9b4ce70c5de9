#include "ui/shell/FileDialogSaveLocation.h"

#include <QDir>
#include <QFileDialog>
#include <QStandardPaths>
#include <memory>
#include <qcoro/qcorosignal.h>

namespace pylon::ui {

std::function<std::optional<QString>(const QString&)> FileDialogSaveLocation::nextAnswer;

FileDialogSaveLocation::FileDialogSaveLocation(QWidget* parent)
    : m_parent(parent) {}

QString FileDialogSaveLocation::suggestedPath(const QString& suggestedFileName) {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::homePath();
    return folder + QLatin1Char('/') + suggestedFileName;
}

QCoro::Task<std::optional<QString>> FileDialogSaveLocation::chooseLocation(QString suggestedFileName) {
    const QString suggested = suggestedPath(suggestedFileName);
    if (nextAnswer)
        co_return nextAnswer(suggested);

    // The coroutine owns the dialog until it has read the answer: a dialog that deleted itself on
    // closing would be gone before `finished` reached this frame, and the report would never be
    // saved. It has no parent for the same reason (a closing window must not take it along), and is
    // modal to the application instead of to the window.
    auto dialog = std::make_unique<QFileDialog>(nullptr, QStringLiteral("Save diagnostic report"), suggested,
                                                QStringLiteral("ZIP archives (*.zip)"));
    dialog->setObjectName(QStringLiteral("saveDiagnosticReport"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setDefaultSuffix(QStringLiteral("zip"));
    dialog->selectFile(suggested);
    dialog->setWindowModality(Qt::ApplicationModal);
    if (m_parent)
        dialog->move(m_parent->window()->geometry().center() - dialog->rect().center());
    auto finished = qCoro(dialog.get(), &QFileDialog::finished);
    dialog->open();
    const int result = co_await finished;
    if (result != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        co_return std::nullopt;
    co_return dialog->selectedFiles().constFirst();
}

} // namespace pylon::ui
