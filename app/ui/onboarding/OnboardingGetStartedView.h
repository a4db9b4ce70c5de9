#pragma once

#include "ui/onboarding/OnboardingContent.h"
#include "ui/onboarding/OnboardingPage.h"

#include <QPixmap>
#include <QTextDocument>

class QLabel;

namespace pylon::ui {

// A wrapping run of text with a symbol drawn inline (none when `symbol` is empty), in the body font
// and secondary colour.
class SymbolTextLabel : public QWidget {
    Q_OBJECT
public:
    SymbolTextLabel(const QString& before, const QString& symbol, const QString& after, QWidget* parent = nullptr);
    void setText(const QString& before, const QString& symbol, const QString& after);
    // The text with the symbol's name in brackets where it is drawn.
    QString plainText() const;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_plain;
    mutable QTextDocument m_document;
};

// An image scaled to the widget's width, with rounded corners and a thin border.
class RoundedImage : public QWidget {
    Q_OBJECT
public:
    explicit RoundedImage(const QPixmap& image, QWidget* parent = nullptr);
    const QPixmap& image() const { return m_image; }

    bool hasHeightForWidth() const override { return !m_image.isNull(); }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_image;
};

// The last page: the phone app to install, Live's control surface to choose, and where Pylon
// lives afterwards. Its "Let's Go!" completes onboarding.
class OnboardingGetStartedView : public OnboardingPage {
    Q_OBJECT
public:
    // `images` gives the pixmap of an image asset by name (a null pixmap when missing).
    OnboardingGetStartedView(const std::function<QPixmap(const QString&)>& images, const OnboardingPlatform& platform,
                             std::function<void()> onFinish, QWidget* parent = nullptr);

    QList<RoundedImage*> images() const { return m_images; }
    SymbolTextLabel* closingText() const { return m_closingText; }
    // Says where Pylon lives for a tray item that shows, or not.
    void setTrayShown(bool shown);

private:
    OnboardingPlatform m_platform;
    QList<RoundedImage*> m_images;
    SymbolTextLabel* m_closingText = nullptr;
};

} // namespace pylon::ui
