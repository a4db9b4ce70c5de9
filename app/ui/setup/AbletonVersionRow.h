#pragma once

#include "status/AbletonVersion.h"
#include "ui/setup/VersionRowPresenter.h"

#include <QWidget>

class QLabel;

namespace pylon {
class SetupViewControllerProtocol;
}

namespace pylon::ui {

class AlignedDisclosure;
class SymbolView;

// One Live User Library: a disclosure whose header tells the state of the control script (or of
// the running Live of this version) and whose content offers to install it or open the library.
class AbletonVersionRow : public QWidget {
    Q_OBJECT
public:
    AbletonVersionRow(const AbletonVersion& version, SetupViewControllerProtocol& controller, bool expanded,
                      QWidget* parent = nullptr);

    // Redraws for the version's current record, the status facts and whether an installation runs.
    void update(const AbletonVersion& version, const StatusFacts& facts, bool installing);

    const AbletonVersion& version() const { return m_version; }
    const RowHeader& header() const { return m_header; }
    const RowContent& content() const { return m_content; }
    AlignedDisclosure* disclosure() const { return m_disclosure; }
    QLabel* headerLabel() const { return m_text; }
    bool isExpanded() const;

signals:
    void expandedChanged(bool expanded);

private:
    void rebuildContent();

    SetupViewControllerProtocol& m_controller;
    AbletonVersion m_version;
    AbletonVersion m_contentVersion;
    RowHeader m_header;
    RowContent m_content;
    bool m_hasContent = false;
    AlignedDisclosure* m_disclosure;
    SymbolView* m_symbol;
    QLabel* m_text;
};

} // namespace pylon::ui
