#include "ui/onboarding/OnboardingStyle.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QVBoxLayout>
#include <QPalette>

namespace pylon::ui {

QFont pageFont(PageFont font) {
    QFont result = QApplication::font();
    const qreal body = result.pointSizeF() > 0 ? result.pointSizeF() : 10.0;
    auto scaled = [&](qreal points, QFont::Weight weight) {
        result.setPointSizeF(body * points / 13.0);
        result.setWeight(weight);
        return result;
    };
    switch (font) {
    case PageFont::largeTitle:
        return scaled(26, QFont::Bold);
    case PageFont::title2:
        return scaled(17, QFont::DemiBold);
    case PageFont::title3:
        return scaled(15, QFont::Normal);
    case PageFont::headline:
        return scaled(13, QFont::Bold);
    case PageFont::body:
        return scaled(13, QFont::Normal);
    case PageFont::subheadline:
        return scaled(11, QFont::Normal);
    case PageFont::caption:
        return scaled(10, QFont::Normal);
    }
    return result;
}

QColor toneColor(TextTone tone) {
    return tintColor(tone == TextTone::secondary ? Tint::secondary : Tint::primary);
}

QColor panelColor(const QPalette& palette) {
    return palette.color(QPalette::Base);
}

QColor grantedColor() {
    return tintColor(Tint::green);
}

QLabel* makePageLabel(const QString& text, PageFont font, TextTone tone) {
    auto* label = new QLabel(text);
    label->setFont(pageFont(font));
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    setTone(label, tone);
    return label;
}

QVBoxLayout* makePageHeading(const QString& title, const QString& subtitle) {
    auto* heading = new QVBoxLayout;
    heading->setSpacing(6);
    for (QLabel* label : {makePageLabel(title, PageFont::largeTitle),
                          makePageLabel(subtitle, PageFont::title3, TextTone::secondary)}) {
        label->setAlignment(Qt::AlignHCenter);
        heading->addWidget(label);
    }
    return heading;
}

void setTone(QLabel* label, TextTone tone) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, toneColor(tone));
    label->setPalette(palette);
}

QString lineBreaksThatFit(const QString& text, const QFont& font, int width) {
    const QFontMetrics metrics(font);
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        if (metrics.horizontalAdvance(line) > width)
            return lines.join(QLatin1Char(' '));
    }
    return text;
}

} // namespace pylon::ui
