#include "ui/onboarding/OnboardingEulaView.h"

#include "ui/onboarding/OnboardingContent.h"
#include "ui/onboarding/OnboardingStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QVBoxLayout>

namespace pylon::ui {

OnboardingEulaView::OnboardingEulaView(std::function<void()> onAccept, QWidget* parent)
    : OnboardingPage(ui::eulaContent().button, std::move(onAccept), Scrolling::content, parent) {
    const EulaContent content = ui::eulaContent();
    QVBoxLayout* column = contentLayout();

    auto* heading = new QVBoxLayout;
    heading->setSpacing(4);
    heading->addWidget(makePageLabel(content.header, PageFont::title2));
    heading->addWidget(makePageLabel(content.subheader, PageFont::subheadline, TextTone::secondary));
    column->addLayout(heading);

    m_agreement = new QTextBrowser;
    m_agreement->setObjectName(QStringLiteral("agreement"));
    m_agreement->setAccessibleName(content.header);
    m_agreement->setMinimumHeight(3 * m_agreement->fontMetrics().height());
    m_agreement->setFont(pageFont(PageFont::body));
    m_agreement->setOpenExternalLinks(true);
    m_agreement->setTextInteractionFlags(Qt::TextBrowserInteraction | Qt::TextSelectableByKeyboard);
    m_agreement->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_agreement->document()->setDocumentMargin(12);
    column->addWidget(m_agreement, 1);

    QLabel* note = makePageLabel(content.footerNote, PageFont::subheadline, TextTone::secondary);
    note->setObjectName(QStringLiteral("consentNote"));
    // It wraps rather than being cut where a large font leaves it less than a line.
    note->setWordWrap(true);
    note->setMinimumWidth(note->fontMetrics().averageCharWidth() * 18);
    footerLayout()->insertWidget(0, note, 1);
    footerLayout()->setStretch(1, 0); // the note, not the spacer before the button, takes the room
}

void OnboardingEulaView::setEulaContent(const QString& text) {
    m_eulaContent = text;
    m_agreement->setMarkdown(text);
    // Headings a step above the body text (the title) or at its size, rather than the document's
    // poster sizes, so the page shows more of the agreement.
    for (QTextBlock block = m_agreement->document()->begin(); block.isValid(); block = block.next()) {
        const int level = block.blockFormat().headingLevel();
        if (level == 0)
            continue;
        QTextCursor cursor(block);
        cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        QTextCharFormat heading;
        heading.setProperty(QTextFormat::FontSizeAdjustment, level == 1 ? 1 : 0);
        cursor.mergeCharFormat(heading);
    }
}

} // namespace pylon::ui
