#pragma once

#include "ui/common/Style.h"
#include "ui/setup/SetupPresenter.h"

#include <QPixmap>
#include <QWidget>

class QGridLayout;
class QLabel;

namespace pylon {
class DynamicStatus;
class SetupViewControllerProtocol;
} // namespace pylon

namespace pylon::ui {

class ActionsView;
class SymbolView;

// Live drawn as a framed square holding the word "Live".
class LiveBoxView : public QWidget {
    Q_OBJECT
public:
    LiveBoxView(int boxSize, int textSize, int borderWidth, int cornerRadius, QWidget* parent = nullptr);
    Tint tint() const { return m_tint; }
    void setTint(Tint tint);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_textSize;
    int m_borderWidth;
    int m_cornerRadius;
    Tint m_tint = Tint::gray;
};

// Live, this computer's companion and the phone in a row, joined by two links, each with its
// caption; below them the actions for the companion's state.
class MainConnectionSection : public QWidget {
    Q_OBJECT
public:
    static constexpr int phoneIconSize = 78;
    static constexpr int macIconSize = 76;
    static constexpr int liveBoxSize = 74;
    static constexpr int liveTextSize = 24;
    static constexpr int liveBorderWidth = 5;
    static constexpr int liveCornerRadius = 8;
    // The links are drawn like a 20-point glyph: about 28 pixels for the whole symbol.
    static constexpr int linkSymbolSize = 28;
    static constexpr int linkFrameWidth = 50;

    // `setupPicture` is the picture of the setup help (may be null).
    MainConnectionSection(DynamicStatus& status, SetupViewControllerProtocol& controller,
                          const QPixmap& setupPicture = {}, QWidget* parent = nullptr);

    const ConnectionContent& content() const { return m_content; }
    // What the platform offers for missing permissions (see PermissionGuidance).
    void setGuidance(const PermissionGuidance& guidance);
    LiveBoxView* liveBox() const { return m_liveBox; }
    SymbolView* liveLink() const { return m_liveLink; }
    SymbolView* mac() const { return m_mac; }
    SymbolView* phoneLink() const { return m_phoneLink; }
    SymbolView* phone() const { return m_phone; }

public slots:
    void render();

private:
    struct Caption {
        QLabel* title;
        QLabel* status;
    };
    Caption addCaption(QGridLayout* grid, int column);

    DynamicStatus& m_status;
    ConnectionContent m_content;
    LiveBoxView* m_liveBox;
    SymbolView* m_liveLink;
    SymbolView* m_mac;
    SymbolView* m_phoneLink;
    SymbolView* m_phone;
    Caption m_liveCaption{};
    Caption m_macCaption{};
    Caption m_phoneCaption{};
    ActionsView* m_actions;
};

} // namespace pylon::ui
