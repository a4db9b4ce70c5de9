#pragma once

#include <QMap>
#include <QWidget>

class QStackedWidget;
class QVBoxLayout;

namespace pylon {
class DynamicStatus;
class SetupViewControllerProtocol;
} // namespace pylon

namespace pylon::ui {

class AbletonVersionRow;

// The detected Live User Libraries, one row each in the controller's order, or a notice when no
// Live was found. Each row keeps its expanded state while it is shown.
class AbletonInstancesSection : public QWidget {
    Q_OBJECT
public:
    AbletonInstancesSection(DynamicStatus& status, SetupViewControllerProtocol& controller, QWidget* parent = nullptr);

    bool showsNotice() const;
    QList<AbletonVersionRow*> rows() const { return m_rows; }

public slots:
    void render();

private:
    void rebuildRows();

    DynamicStatus& m_status;
    SetupViewControllerProtocol& m_controller;
    QStackedWidget* m_pages;
    QWidget* m_notice;
    QWidget* m_list;
    QVBoxLayout* m_rowsLayout;
    QList<AbletonVersionRow*> m_rows;
    QMap<QString, bool> m_expanded; // by version id, for the rows shown
};

} // namespace pylon::ui
