#pragma once

#include <QWidget>
#include <functional>

namespace pylon {
class BuildEnvironment;
class DynamicStatus;
class SetupViewControllerProtocol;
} // namespace pylon

namespace pylon::ui {

class AbletonInstancesSection;
class MainConnectionSection;
struct PermissionGuidance;

// The setup window's content: the devices with the next thing to do, the Live User Libraries and,
// in the development build, the developer row. 720 pixels wide, as high as its content. It follows
// every change of the status model and of the controller's Live list without timers of its own.
class SetupWindowView : public QWidget {
    Q_OBJECT
public:
    static constexpr int fixedWidth = 720;

    // The build mode decides the developer row; the bundle's resources give the setup picture.
    // `onAppear` runs each time the view is shown (the shell passes the controller's start, which
    // acts only once).
    SetupWindowView(DynamicStatus& status, SetupViewControllerProtocol& controller, const BuildEnvironment& environment,
                    std::function<void()> onAppear = {}, QWidget* parent = nullptr);

    // The bundle's picture of Live's MIDI settings, or a null pixmap.
    static QPixmap setupPicture(const QString& bundlePath);

    MainConnectionSection* connectionSection() const { return m_connection; }
    // What the platform offers for missing permissions (see PermissionGuidance).
    void setGuidance(const PermissionGuidance& guidance);
    AbletonInstancesSection* instancesSection() const { return m_instances; }
    // Only in the development build; null otherwise.

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::function<void()> m_onAppear;
    MainConnectionSection* m_connection;
    AbletonInstancesSection* m_instances;
};

} // namespace pylon::ui
