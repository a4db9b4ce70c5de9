#pragma once

#include <QList>
#include <QPointer>
#include <QString>
#include <functional>

class QMessageBox;
class QWidget;

namespace pylon::ui {

// One button of an alert. At most one button has the cancel role: Escape and closing the box
// choose it.
struct AlertButton {
    QString text;
    bool isCancel = false;
    bool operator==(const AlertButton&) const = default;
};

// What an alert shows: a title, a message and its buttons in order.
struct AlertContent {
    QString title;
    QString message;
    QList<AlertButton> buttons;
    bool isWarning = false;
    bool operator==(const AlertContent&) const = default;
};

// Shows alerts as application-modal message boxes without a nested event loop: the caller hears
// the chosen button's index through a callback, so a status poll or an installation goes on while
// a box is open.
class Alerts {
public:
    using Completion = std::function<void(int buttonIndex)>;

    // When set, alerts are not shown: the hook gets the content and answers with a button index at
    // once. Tests set it so no test waits on a modal box.
    static std::function<int(const AlertContent&)> nextAnswer;

    // Shows `content` and calls `done` with the chosen button's index once the box is dismissed.
    // Returns the box, or null when the hook answered.
    static QPointer<QMessageBox> present(const AlertContent& content, Completion done, QWidget* parent = nullptr);

    // The index of the cancel button, or the last button when none has the cancel role.
    static int cancelIndex(const AlertContent& content);
};

} // namespace pylon::ui
