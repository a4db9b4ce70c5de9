#include "ui/setup/AbletonInstancesSection.h"

#include "core/SetupViewControllerProtocol.h"
#include "status/DynamicStatus.h"
#include "ui/common/SymbolView.h"
#include "ui/setup/AbletonVersionRow.h"
#include "ui/setup/VersionRowPresenter.h"

#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace pylon::ui {

AbletonInstancesSection::AbletonInstancesSection(DynamicStatus& status, SetupViewControllerProtocol& controller,
                                                 QWidget* parent)
    : QWidget(parent)
    , m_status(status)
    , m_controller(controller) {
    setFixedHeight(instancesSectionHeight);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_pages = new QStackedWidget(this);
    layout->addWidget(m_pages);

    const NoLiveNotice notice = noLiveNotice();
    m_notice = new QWidget(m_pages);
    auto* noticeRow = new QHBoxLayout(m_notice);
    noticeRow->addStretch();
    noticeRow->addWidget(new SymbolView(notice.symbol, notice.tint, 18, {}, m_notice));
    auto* noticeText = new QLabel(notice.text, m_notice);
    styleLabel(noticeText, TextStyle::body, Tint::secondary);
    noticeRow->addWidget(noticeText);
    auto* addPrefix = new QPushButton(notice.addWinePrefixButton, m_notice);
    addPrefix->setAutoDefault(false);
    connect(addPrefix, &QPushButton::clicked, this, [this, title = notice.addWinePrefixTitle] {
        // Prefixes usually live in hidden folders (~/.wine, ~/.local/share/bottles): show them.
        QFileDialog chooser(this, title, QDir::homePath());
        chooser.setObjectName(QStringLiteral("addWinePrefixChooser"));
        chooser.setFileMode(QFileDialog::Directory);
        chooser.setOption(QFileDialog::ShowDirsOnly);
        chooser.setFilter(QDir::AllDirs | QDir::Hidden | QDir::NoDotAndDotDot);
        if (chooser.exec() == QDialog::Accepted && !chooser.selectedFiles().isEmpty())
            m_controller.addWinePrefix(chooser.selectedFiles().constFirst());
    });
    noticeRow->addWidget(addPrefix);
    noticeRow->addStretch();
    m_pages->addWidget(m_notice);

    auto* scroll = new QScrollArea(m_pages);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list = new QWidget;
    m_rowsLayout = new QVBoxLayout(m_list);
    m_rowsLayout->setContentsMargins(20, 12, 20, 12);
    m_rowsLayout->setSpacing(8);
    m_rowsLayout->addStretch();
    scroll->setWidget(m_list);
    m_pages->addWidget(scroll);

    connect(&m_status, &DynamicStatus::changed, this, &AbletonInstancesSection::render);
    connect(&m_controller, &SetupViewControllerProtocol::abletonVersionsChanged, this,
            &AbletonInstancesSection::render);
    connect(&m_controller, &SetupViewControllerProtocol::installingRemoteScriptChanged, this,
            &AbletonInstancesSection::render);
    render();
}

bool AbletonInstancesSection::showsNotice() const {
    return m_pages->currentWidget() == m_notice;
}

void AbletonInstancesSection::render() {
    const QList<AbletonVersion>& versions = m_controller.abletonVersions();
    bool sameRows = versions.size() == m_rows.size();
    for (qsizetype i = 0; sameRows && i < versions.size(); ++i)
        sameRows = versions[i].id == m_rows[i]->version().id;
    if (!sameRows)
        rebuildRows();

    const StatusFacts facts = statusFacts(m_status.lastResponse());
    const bool installing = m_controller.isInstallingRemoteScript();
    for (qsizetype i = 0; i < versions.size(); ++i)
        m_rows[i]->update(versions[i], facts, installing);
    m_pages->setCurrentIndex(versions.isEmpty() ? 0 : 1);
}

void AbletonInstancesSection::rebuildRows() {
    for (AbletonVersionRow* row : std::as_const(m_rows)) {
        row->hide();
        row->setParent(nullptr);
        row->deleteLater();
    }
    m_rows.clear();

    // A row that stays keeps the user's choice; a new row starts by the rule; a row that went is
    // forgotten.
    QMap<QString, bool> expanded;
    for (const AbletonVersion& version : m_controller.abletonVersions()) {
        const bool isExpanded = m_expanded.value(version.id, rowStartsExpanded(version));
        expanded.insert(version.id, isExpanded);
        auto* row = new AbletonVersionRow(version, m_controller, isExpanded, m_list);
        const QString id = version.id;
        connect(row, &AbletonVersionRow::expandedChanged, this, [this, id](bool value) { m_expanded[id] = value; });
        m_rowsLayout->insertWidget(m_rowsLayout->count() - 1, row);
        row->show();
        m_rows << row;
    }
    m_expanded = expanded;
}

} // namespace pylon::ui
