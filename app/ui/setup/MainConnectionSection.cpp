#include "ui/setup/MainConnectionSection.h"

#include "status/DynamicStatus.h"
#include "ui/common/SymbolView.h"
#include "ui/setup/ActionsView.h"

#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace pylon::ui {

namespace {
constexpr int deviceColumnWidth = 190;
constexpr int deviceRowHeight = 80;
} // namespace

LiveBoxView::LiveBoxView(int boxSize, int textSize, int borderWidth, int cornerRadius, QWidget* parent)
    : QWidget(parent)
    , m_textSize(textSize)
    , m_borderWidth(borderWidth)
    , m_cornerRadius(cornerRadius) {
    setFixedSize(boxSize, boxSize);
}

void LiveBoxView::setTint(Tint tint) {
    if (tint == m_tint)
        return;
    m_tint = tint;
    update();
}

void LiveBoxView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor color = tintColor(m_tint, palette());
    // The border lies inside the square's edge.
    const qreal inset = m_borderWidth / 2.0;
    painter.setPen(QPen(color, m_borderWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset), m_cornerRadius - inset,
                            m_cornerRadius - inset);
    painter.setFont(fontOfPixelSize(m_textSize, QFont::DemiBold));
    painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("Live"));
}

MainConnectionSection::MainConnectionSection(DynamicStatus& status, SetupViewControllerProtocol& controller,
                                             const QPixmap& setupPicture, QWidget* parent)
    : QWidget(parent)
    , m_status(status) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 24, 0, 20);
    layout->setSpacing(16);

    auto* devices = new QGridLayout;
    devices->setHorizontalSpacing(0);
    devices->setVerticalSpacing(8);
    m_liveBox = new LiveBoxView(liveBoxSize, liveTextSize, liveBorderWidth, liveCornerRadius, this);
    m_liveLink = new SymbolView(Symbol::arrowLeftArrowRight, Tint::gray, linkSymbolSize,
                                QSize(linkFrameWidth, deviceRowHeight), this);
    m_mac = new SymbolView(Symbol::laptopcomputer, Tint::gray, macIconSize, QSize(0, deviceRowHeight), this);
    m_phoneLink =
        new SymbolView(Symbol::wifi, Tint::gray, linkSymbolSize, QSize(linkFrameWidth, deviceRowHeight), this);
    m_phone = new SymbolView(Symbol::iphone, Tint::gray, phoneIconSize, QSize(0, deviceRowHeight), this);
    devices->addWidget(m_liveBox, 0, 0, Qt::AlignCenter);
    devices->addWidget(m_liveLink, 0, 1, Qt::AlignCenter);
    devices->addWidget(m_mac, 0, 2, Qt::AlignCenter);
    devices->addWidget(m_phoneLink, 0, 3, Qt::AlignCenter);
    devices->addWidget(m_phone, 0, 4, Qt::AlignCenter);
    for (int column : {0, 2, 4})
        devices->setColumnMinimumWidth(column, deviceColumnWidth);
    devices->setRowMinimumHeight(0, deviceRowHeight);
    m_liveCaption = addCaption(devices, 0);
    m_macCaption = addCaption(devices, 2);
    m_phoneCaption = addCaption(devices, 4);

    auto* centred = new QHBoxLayout;
    centred->addStretch();
    centred->addLayout(devices);
    centred->addStretch();
    layout->addLayout(centred);

    m_actions = new ActionsView(controller, setupPicture, this);
    layout->addWidget(m_actions, 0, Qt::AlignHCenter);

    connect(&m_status, &DynamicStatus::changed, this, &MainConnectionSection::render);
    render();
}

MainConnectionSection::Caption MainConnectionSection::addCaption(QGridLayout* grid, int column) {
    auto* box = new QWidget(this);
    box->setFixedWidth(deviceColumnWidth);
    auto* lines = new QVBoxLayout(box);
    lines->setContentsMargins(4, 0, 4, 0);
    lines->setSpacing(3);
    auto* title = new QLabel(box);
    styleLabel(title, TextStyle::headline, Tint::primary);
    title->setAlignment(Qt::AlignHCenter);
    auto* status = new QLabel(box);
    styleLabel(status, TextStyle::body, Tint::secondary);
    status->setAlignment(Qt::AlignHCenter);
    status->setWordWrap(true);
    lines->addWidget(title);
    lines->addWidget(status);
    grid->addWidget(box, 1, column, Qt::AlignTop);
    return {title, status};
}

void MainConnectionSection::setGuidance(const PermissionGuidance& guidance) {
    m_actions->setGuidance(guidance);
    render();
}

void MainConnectionSection::render() {
    const CompanionState state = m_status.companionState();
    const StatusFacts facts = statusFacts(m_status.lastResponse());
    m_content = connectionContent(state, facts);

    m_liveBox->setTint(m_content.liveTint);
    m_liveLink->setSymbol(Symbol::arrowLeftArrowRight, m_content.liveLinkTint);
    m_mac->setSymbol(Symbol::laptopcomputer, m_content.macTint);
    m_phoneLink->setSymbol(Symbol::wifi, m_content.phoneLinkTint);
    m_phone->setSymbol(Symbol::iphone, m_content.phoneTint);

    const std::pair<Caption*, const DeviceCaption*> captions[] = {
        {&m_liveCaption, &m_content.live}, {&m_macCaption, &m_content.mac}, {&m_phoneCaption, &m_content.phone}};
    for (const auto& [labels, caption] : captions) {
        labels->title->setText(caption->title);
        labels->status->setText(caption->status);
    }
    // Drawn as symbols only, so what they show is said to screen readers in words.
    m_liveBox->setAccessibleName(m_content.live.status);
    m_liveLink->setAccessibleName(facts.liveRunning() ? QStringLiteral("Live linked") : QStringLiteral("Live not linked"));
    m_mac->setAccessibleName(m_content.mac.title + QStringLiteral(": ") + m_content.mac.status);
    m_phoneLink->setAccessibleName(facts.phoneLinked() ? QStringLiteral("Phone linked")
                                                       : QStringLiteral("Phone not linked"));
    m_phone->setAccessibleName(m_content.phone.title + QStringLiteral(": ") + m_content.phone.status);
    m_actions->setState(state, facts.liveCondition);
}

} // namespace pylon::ui
