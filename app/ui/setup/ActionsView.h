#pragma once

#include "ui/setup/SetupPresenter.h"

#include <QPixmap>
#include <QTimer>
#include <QWidget>

namespace pylon {
class SetupViewControllerProtocol;
}

namespace pylon::ui {

// A small spinning indicator; it turns only while it is visible.
class Spinner : public QWidget {
    Q_OBJECT
public:
    explicit Spinner(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QTimer m_timer;
    int m_step = 0;
};

// The one thing to do next under the devices, by companion state and Live condition: nothing, the
// setup help, a progress line, or buttons with their explanations.
class ActionsView : public QWidget {
    Q_OBJECT
public:
    // `setupPicture` is shown by the setup help (may be null).
    ActionsView(SetupViewControllerProtocol& controller, const QPixmap& setupPicture, QWidget* parent = nullptr);

    // Redraws for the state; widgets are rebuilt only when what they show changes.
    void setState(const CompanionState& state, std::optional<AbletonCondition> liveCondition);
    // What the platform offers for missing permissions; takes effect at the next setState().
    void setGuidance(const PermissionGuidance& guidance) { m_guidance = guidance; }
    const ActionsContent& content() const { return m_content; }

private:
    void rebuild();

    SetupViewControllerProtocol& m_controller;
    QPixmap m_setupPicture;
    ActionsContent m_content;
    PermissionGuidance m_guidance;
    QWidget* m_body = nullptr;
    bool m_built = false;
};

} // namespace pylon::ui
