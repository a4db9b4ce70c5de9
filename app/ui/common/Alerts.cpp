#include "ui/common/Alerts.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>
#include <memory>

namespace pylon::ui {

std::function<int(const AlertContent&)> Alerts::nextAnswer;

int Alerts::cancelIndex(const AlertContent& content) {
    for (int i = 0; i < content.buttons.size(); ++i) {
        if (content.buttons[i].isCancel)
            return i;
    }
    return int(content.buttons.size()) - 1;
}

QPointer<QMessageBox> Alerts::present(const AlertContent& content, Completion done, QWidget* parent) {
    if (nextAnswer) {
        done(nextAnswer(content));
        return nullptr;
    }
    auto* box = new QMessageBox(parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    box->setIcon(content.isWarning ? QMessageBox::Warning : QMessageBox::Information);
    box->setWindowTitle(content.title);
    box->setText(content.title);
    box->setInformativeText(content.message);
    QList<QPushButton*> buttons;
    for (const AlertButton& button : content.buttons) {
        QPushButton* added =
            box->addButton(button.text, button.isCancel ? QMessageBox::RejectRole : QMessageBox::AcceptRole);
        buttons << added;
        if (button.isCancel)
            box->setEscapeButton(added);
    }
    if (!buttons.isEmpty())
        box->setDefaultButton(buttons.first());

    // The answer is given once, whichever way the box goes away.
    auto answered = std::make_shared<bool>(false);
    const int fallback = cancelIndex(content);
    QObject::connect(box, &QMessageBox::finished, box, [box, buttons, done, answered, fallback](int) {
        if (*answered)
            return;
        *answered = true;
        const int index = int(buttons.indexOf(qobject_cast<QPushButton*>(box->clickedButton())));
        done(index >= 0 ? index : fallback);
    });
    box->show();
    return box;
}

} // namespace pylon::ui
