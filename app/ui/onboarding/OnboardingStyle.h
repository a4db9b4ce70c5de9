#pragma once

#include "ui/common/Style.h"
#include "ui/onboarding/OnboardingContent.h"

#include <QColor>
#include <QFont>

class QLabel;
class QVBoxLayout;
class QPalette;

namespace pylon::ui {

// The text styles of the onboarding pages, scaled from the application's body font by the ratios of
// the platform's text styles to its 13-point body text.
enum class PageFont { largeTitle, title2, title3, headline, body, subheadline, caption };

QFont pageFont(PageFont font);

// The colour of a text tone against the application's palette.
QColor toneColor(TextTone tone);
// The rounded boxes' background (the palette's control background).
QColor panelColor(const QPalette& palette);
// The colour of granted marks.
QColor grantedColor();

// A word-wrapping plain-text label in this font and tone.
QLabel* makePageLabel(const QString& text, PageFont font, TextTone tone = TextTone::primary);
// A page's centred title over its secondary subtitle.
QVBoxLayout* makePageHeading(const QString& title, const QString& subtitle);
void setTone(QLabel* label, TextTone tone);

// `text` with its line breaks kept only when each of its lines fits `width` in `font`; otherwise
// they become spaces, so a wrapped line does not leave a lone word behind a forced break.
QString lineBreaksThatFit(const QString& text, const QFont& font, int width);

} // namespace pylon::ui
