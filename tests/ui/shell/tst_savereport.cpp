#include "ShellSupport.h"
#include "core/AppServices.h"
#include "core/PylonController.h"
#include "ui/shell/FileDialogSaveLocation.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/PylonApp.h"

#include <QApplication>
#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace pylon;
using namespace pylon::test;
using namespace pylon::ui;

namespace {

// The save dialog that is open now, if any.
QFileDialog* openSaveDialog() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<QFileDialog*>(widget); dialog && dialog->isVisible())
            return dialog;
    }
    return nullptr;
}

// Goes to the folder of `path`, types its file name into the dialog's name field and clicks Save,
// as a user does.
void typeAndAccept(QFileDialog* dialog, const QString& path) {
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    auto* buttons = dialog->findChild<QDialogButtonBox*>();
    QVERIFY(name && buttons);
    dialog->setDirectory(QFileInfo(path).absolutePath());
    name->selectAll();
    QTest::keyClicks(name, QFileInfo(path).fileName());
    QAbstractButton* save = nullptr;
    for (QAbstractButton* button : buttons->buttons())
        save = buttons->buttonRole(button) == QDialogButtonBox::AcceptRole ? button : save;
    QVERIFY(save);
    // It waits, as a user does, for the dialog to have looked at the folder typed.
    QTRY_VERIFY(save->isEnabled());
    QTest::mouseClick(save, Qt::LeftButton);
}

struct Chosen {
    bool done = false;
    std::optional<QString> path;
};

void choose(FileDialogSaveLocation& location, Chosen& chosen) {
    [](FileDialogSaveLocation* location, Chosen* chosen) -> QCoro::Task<> {
        auto choosing = location->chooseLocation(QStringLiteral("PylonDiagnostics_test.zip"));
        chosen->path = co_await choosing;
        chosen->done = true;
    }(&location, &chosen);
}

} // namespace

// The save dialog itself, not its test hook: it is found among the windows and answered.
class SaveReportTest : public QObject {
    Q_OBJECT
private slots:
    void realDialogAnswersWithTheTypedPathOrNothing() {
        QVERIFY(!FileDialogSaveLocation::nextAnswer);
        QTemporaryDir folder;
        QWidget window;
        window.show();
        for (bool accept : {true, false}) {
            FileDialogSaveLocation location(&window);
            Chosen chosen;
            choose(location, chosen);
            QTRY_VERIFY(openSaveDialog());
            QFileDialog* dialog = openSaveDialog();
            QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
            QCOMPARE(QFileInfo(dialog->selectedFiles().value(0)).fileName(), QStringLiteral("PylonDiagnostics_test.zip"));
            if (accept)
                typeAndAccept(dialog, folder.filePath(QStringLiteral("report")));
            else
                dialog->reject();
            QTRY_VERIFY(chosen.done);
            QCOMPARE(chosen.path, accept ? std::optional(folder.filePath(QStringLiteral("report.zip"))) : std::nullopt);
            QTRY_VERIFY(!openSaveDialog()); // and it is gone
        }
    }

    // Help → Save Diagnostic Report… through the real dialog writes the archive; cancelling
    // writes nothing and leaves no working folder behind.
    void helpMenuSavesTheReportWhereTheUserSaid() {
        AppServices services;
        PylonApp app(services, {QStringLiteral("Pylon")});
        app.show();
        QTemporaryDir folder;
        const QString target = folder.filePath(QStringLiteral("saved.zip"));
        const auto leftovers = [] {
            return QDir(QDir::tempPath()).entryList({QStringLiteral("PylonDiagnostics_*")}, QDir::AllEntries);
        };
        const QStringList before = leftovers();

        app.mainWindow().saveDiagnosticReportAction()->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(openSaveDialog(), 10000);
        typeAndAccept(openSaveDialog(), target);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(target).isFile() && QFileInfo(target).size() > 0, 10000);
        QTRY_COMPARE(leftovers(), before);

        app.mainWindow().saveDiagnosticReportAction()->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(openSaveDialog(), 10000);
        openSaveDialog()->reject();
        QTRY_VERIFY(!openSaveDialog());
        QTRY_COMPARE(leftovers(), before);
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{QStringLiteral("saved.zip")});
    }
};

std::unique_ptr<QObject> makeSaveReportTest() {
    return std::make_unique<SaveReportTest>();
}

#include "tst_savereport.moc"
