#pragma once

#include "ui/onboarding/OnboardingPage.h"

class QTextBrowser;

namespace pylon::ui {

// The licence agreement: header, the agreement's Markdown in a scrolling, selectable text area,
// the consent note and "Accept & Continue". Accepting works also when the text could not be loaded.
class OnboardingEulaView : public OnboardingPage {
    Q_OBJECT
public:
    OnboardingEulaView(std::function<void()> onAccept, QWidget* parent = nullptr);

    // Shows `text` (Markdown) as the agreement.
    void setEulaContent(const QString& text);
    const QString& eulaContent() const { return m_eulaContent; }
    QTextBrowser* agreementArea() const { return m_agreement; }

private:
    QString m_eulaContent;
    QTextBrowser* m_agreement;
};

} // namespace pylon::ui
