#pragma once

#include <QWidget>
#include <functional>

class QBoxLayout;
class QHBoxLayout;
class QPushButton;
class QVBoxLayout;

namespace pylon::ui {

// The frame every onboarding page shares: a 480 × 620 column holding the content area (items 24
// apart, padded 32 at the sides and 24 at top and bottom), a divider, and a footer bar whose right
// end holds the page's prominent primary button. 480 × 620 is the size the page asks for; on a
// smaller screen it takes less, its content area scrolls and the footer stays in view. Return or
// Enter presses the primary button wherever the focus is, unless another button has it.
class OnboardingPage : public QWidget {
    Q_OBJECT
public:
    enum class Scrolling { none, content };

    OnboardingPage(const QString& buttonText, std::function<void()> onPrimary, Scrolling scrolling,
                   QWidget* parent = nullptr);

    QPushButton* primaryButton() const { return m_primaryButton; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    // The page asks for its size and scrolls within it, so a wrapping label in it (the footer's
    // note) must not make the window take the page's height for its width instead.
    bool hasHeightForWidth() const override { return false; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    QVBoxLayout* contentLayout() const { return m_contentLayout; }
    // Items added here sit left of the primary button.
    QHBoxLayout* footerLayout() const { return m_footerLayout; }

private:
    QVBoxLayout* m_contentLayout = nullptr;
    QHBoxLayout* m_footerLayout = nullptr;
    QPushButton* m_primaryButton = nullptr;
};

// A panel with a rounded background in one colour (the control background unless told otherwise).
class RoundedPanel : public QWidget {
    Q_OBJECT
public:
    explicit RoundedPanel(qreal radius = 8, QWidget* parent = nullptr);
    void setColor(const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    qreal m_radius;
    QColor m_color;
};

} // namespace pylon::ui
