#include "ui/setup/DevModeButtonsView.h"

#include "ui/common/Style.h"
#include "ui/setup/SetupButtons.h"
#include "ui/setup/VersionRowPresenter.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace pylon::ui {

DevModeButtonsView::DevModeButtonsView(SetupViewControllerProtocol& controller, QWidget* parent)
    : QWidget(parent) {
    const DevModeContent content = devModeContent();
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(20, 10, 20, 10);
    row->setSpacing(8);
    auto* caption = new QLabel(content.caption, this);
    styleLabel(caption, TextStyle::caption, Tint::secondary);
    row->addWidget(caption);
    for (const SetupButton& button : content.buttons)
        row->addWidget(makeSetupButton(button, controller, std::nullopt, this));
    row->addStretch();
}

} // namespace pylon::ui
