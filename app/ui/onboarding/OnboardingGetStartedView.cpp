#include "ui/onboarding/OnboardingGetStartedView.h"

#include "ui/onboarding/OnboardingStyle.h"
#include "ui/common/Symbols.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetrics>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QTextCursor>
#include <QUrl>
#include <QVBoxLayout>

namespace pylon::ui {

SymbolTextLabel::SymbolTextLabel(const QString& before, const QString& symbol, const QString& after, QWidget* parent)
    : QWidget(parent) {
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    setText(before, symbol, after);
}

void SymbolTextLabel::setText(const QString& before, const QString& symbol, const QString& after) {
    m_plain = symbol.isEmpty() ? before + after : before + QLatin1Char('[') + symbol + QLatin1Char(']') + after;
    setAccessibleName(before + after);
    const QFont font = pageFont(PageFont::body);
    m_document.clear();
    m_document.setDefaultFont(font);
    m_document.setDocumentMargin(0);
    const int size = QFontMetrics(font).ascent();
    const QUrl source(QStringLiteral("symbol:") + symbol);
    const QString image = symbol.isEmpty() ? QString()
                                           : QStringLiteral("<img src=\"%1\" width=\"%2\" height=\"%2\">")
                                                 .arg(source.toString())
                                                 .arg(size);
    m_document.setHtml(QStringLiteral("<p align=\"center\">%1%2%3</p>")
                           .arg(before.toHtmlEscaped(), image, after.toHtmlEscaped()));
    // After the text: setting it forgets earlier resources.
    if (!symbol.isEmpty())
        m_document.addResource(QTextDocument::ImageResource, source,
                               namedSymbolPixmap(symbol, size, toneColor(TextTone::secondary), devicePixelRatioF()));
    QTextCursor all(&m_document);
    all.select(QTextCursor::Document);
    QTextCharFormat tone;
    tone.setForeground(toneColor(TextTone::secondary));
    all.mergeCharFormat(tone);
    updateGeometry();
    update();
}

QString SymbolTextLabel::plainText() const {
    return m_plain;
}

int SymbolTextLabel::heightForWidth(int width) const {
    m_document.setTextWidth(width);
    return qCeil(m_document.size().height());
}

QSize SymbolTextLabel::sizeHint() const {
    m_document.setTextWidth(-1);
    const int idealWidth = qCeil(m_document.idealWidth());
    return QSize(idealWidth, heightForWidth(idealWidth));
}

QSize SymbolTextLabel::minimumSizeHint() const {
    return QSize(0, heightForWidth(std::max(width(), 1)));
}

void SymbolTextLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    m_document.setTextWidth(width());
    m_document.drawContents(&painter, rect());
}

RoundedImage::RoundedImage(const QPixmap& image, QWidget* parent)
    : QWidget(parent)
    , m_image(image) {
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

int RoundedImage::heightForWidth(int width) const {
    if (m_image.isNull() || m_image.width() == 0)
        return 0;
    return qRound(width * qreal(m_image.height()) / m_image.width());
}

QSize RoundedImage::sizeHint() const {
    if (m_image.isNull())
        return QSize(0, 0);
    const QSize logical = (QSizeF(m_image.size()) / m_image.devicePixelRatio()).toSize();
    return logical;
}

void RoundedImage::paintEvent(QPaintEvent*) {
    if (m_image.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath rounded;
    rounded.addRoundedRect(frame, 8, 8);
    painter.save();
    painter.setClipPath(rounded);
    painter.drawPixmap(frame, m_image, QRectF(m_image.rect()));
    painter.restore();
    QColor border = palette().color(QPalette::WindowText);
    border.setAlphaF(0.2f);
    painter.setPen(QPen(border, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(rounded);
}

OnboardingGetStartedView::OnboardingGetStartedView(const std::function<QPixmap(const QString&)>& images,
                                                   const OnboardingPlatform& platform, std::function<void()> onFinish,
                                                   QWidget* parent)
    : OnboardingPage(getStartedContent(platform).button, std::move(onFinish), Scrolling::content, parent)
    , m_platform(platform) {
    const GetStartedContent content = getStartedContent(platform);
    QVBoxLayout* column = contentLayout();

    QVBoxLayout* heading = makePageHeading(content.title, content.subtitle);
    column->addLayout(heading);

    for (const GetStartedCard& card : content.cards) {
        auto* panel = new RoundedPanel;
        panel->setObjectName(QStringLiteral("card"));
        auto* cardLayout = new QVBoxLayout(panel);
        cardLayout->setContentsMargins(16, 14, 16, 16);
        cardLayout->setSpacing(8);
        cardLayout->addWidget(makePageLabel(card.title, PageFont::headline));
        cardLayout->addWidget(makePageLabel(card.text, PageFont::body, TextTone::secondary));
        if (card.emphasis)
            cardLayout->addWidget(makePageLabel(*card.emphasis, PageFont::headline));
        if (card.image) {
            auto* image = new RoundedImage(images ? images(*card.image) : QPixmap());
            image->setObjectName(*card.image);
            m_images << image;
            cardLayout->addWidget(image);
        }
        column->addWidget(panel);
    }

    auto* closing = new QVBoxLayout;
    closing->setSpacing(6);
    QLabel* closingTitle = makePageLabel(content.closingTitle, PageFont::title2);
    closingTitle->setAlignment(Qt::AlignHCenter);
    closing->addWidget(closingTitle);
    m_closingText = new SymbolTextLabel(content.closingTextBefore, content.closingSymbol, content.closingTextAfter);
    m_closingText->setObjectName(QStringLiteral("closingText"));
    closing->addWidget(m_closingText);
    column->addLayout(closing);
    column->addStretch(1);
}

void OnboardingGetStartedView::setTrayShown(bool shown) {
    m_platform.trayShown = shown;
    const GetStartedContent content = getStartedContent(m_platform);
    m_closingText->setText(content.closingTextBefore, content.closingSymbol, content.closingTextAfter);
}

} // namespace pylon::ui
