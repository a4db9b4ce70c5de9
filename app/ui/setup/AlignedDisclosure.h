#pragma once

#include <QWidget>

class QVBoxLayout;

namespace pylon::ui {

class SymbolView;

// A disclosure group drawn as a header row (a chevron, then the label) with its content below,
// aligned with the label. Clicking anywhere on the header row toggles it; so do Space and Enter
// while the header has the keyboard focus (Right expands, Left collapses).
class AlignedDisclosure : public QWidget {
    Q_OBJECT
public:
    static constexpr int chevronFrameWidth = 12;
    static constexpr int chevronSize = 10;
    static constexpr int labelSpacing = 6;

    AlignedDisclosure(bool expanded, QWidget* parent = nullptr);

    QWidget* header() const { return m_header; }
    SymbolView* chevron() const { return m_chevron; }
    // Takes ownership; a previous label or content is let go later (it may be mid-click).
    void setLabel(QWidget* label);
    void setContent(QWidget* content);
    // What a screen reader calls the header (its state is said as its description).
    void setAccessibleTitle(const QString& title);
    QWidget* content() const { return m_content; }

    bool isExpanded() const { return m_expanded; }
    void setExpanded(bool expanded);
    void toggle() { setExpanded(!m_expanded); }

signals:
    void expandedChanged(bool expanded);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void replace(QWidget*& slot, QWidget* replacement, QVBoxLayout* into);
    void updateAccessibleText();

    bool m_expanded;
    QWidget* m_header;
    SymbolView* m_chevron;
    QVBoxLayout* m_labelSlot;
    QWidget* m_label = nullptr;
    QWidget* m_contentArea;
    QVBoxLayout* m_contentSlot;
    QWidget* m_content = nullptr;
    QString m_title;
};

} // namespace pylon::ui
