#include "ui/setup/LiveSetupHelpView.h"

#include "ui/common/Style.h"
#include "ui/common/Symbols.h"
#include "ui/setup/SetupPresenter.h"

#include <QLabel>
#include <QVBoxLayout>

namespace pylon::ui {

LiveSetupHelpView::LiveSetupHelpView(const QPixmap& source, QWidget* parent)
    : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);

    auto* text = new QLabel(setupHelpText(), this);
    styleLabel(text, TextStyle::callout, Tint::secondary);
    text->setWordWrap(true);
    text->setAlignment(Qt::AlignHCenter);
    layout->addWidget(text);

    const QPixmap picture =
        roundedPicture(source, setupHelpPictureMaxWidth, setupHelpPictureCornerRadius, devicePixelRatioF());
    m_hasPicture = !picture.isNull();
    if (m_hasPicture) {
        auto* image = new QLabel(this);
        image->setObjectName(QStringLiteral("AbletonMidiSettings"));
        image->setPixmap(picture);
        image->setFixedSize(picture.deviceIndependentSize().toSize());
        layout->addWidget(image, 0, Qt::AlignHCenter);
    }
}

} // namespace pylon::ui
