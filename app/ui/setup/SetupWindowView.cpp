#include "ui/setup/SetupWindowView.h"

#include "foundation/BuildEnvironment.h"
#include "platform/Bundle.h"
#include "ui/common/Style.h"
#include "ui/setup/AbletonInstancesSection.h"
#include "ui/setup/DevModeButtonsView.h"
#include "ui/setup/MainConnectionSection.h"

#include <QFrame>
#include <QShowEvent>
#include <QVBoxLayout>

namespace pylon::ui {

namespace {
QFrame* divider(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setObjectName(QStringLiteral("divider"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setFixedHeight(1);
    QPalette palette = line->palette();
    QColor color = tintColor(Tint::primary, palette);
    color.setAlphaF(0.15f);
    palette.setColor(QPalette::WindowText, color);
    line->setPalette(palette);
    return line;
}
} // namespace

QPixmap SetupWindowView::setupPicture(const QString& bundlePath) {
    const std::optional<QString> path =
        Bundle::atPath(bundlePath).resourcePath(QStringLiteral("AbletonMidiSettings"), QStringLiteral("png"));
    return path ? QPixmap(*path) : QPixmap();
}

SetupWindowView::SetupWindowView(DynamicStatus& status, SetupViewControllerProtocol& controller,
                                 const BuildEnvironment& environment, std::function<void()> onAppear, QWidget* parent)
    : QWidget(parent)
    , m_onAppear(std::move(onAppear)) {
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    // The width is fixed; the height follows the content as it changes.
    layout->setSizeConstraint(QLayout::SetFixedSize);

    m_connection = new MainConnectionSection(status, controller, setupPicture(environment.bundlePath()), this);
    m_instances = new AbletonInstancesSection(status, controller, this);
    const QList<QWidget*> parts = [&] {
        QList<QWidget*> list{m_connection, divider(this), m_instances};
        if (environment.isDevelopment()) {
            list << divider(this) << new DevModeButtonsView(controller, this);
        }
        return list;
    }();
    for (QWidget* part : parts) {
        part->setFixedWidth(fixedWidth);
        layout->addWidget(part);
    }
}

void SetupWindowView::setGuidance(const PermissionGuidance& guidance) {
    m_connection->setGuidance(guidance);
}

void SetupWindowView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous() && m_onAppear)
        m_onAppear();
}

} // namespace pylon::ui
