#include "ui/setup/AbletonVersionRow.h"

#include "ui/common/SymbolView.h"
#include "ui/setup/AlignedDisclosure.h"
#include "ui/setup/SetupButtons.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace pylon::ui {

namespace {
constexpr int headerSymbolSize = 15;
} // namespace

AbletonVersionRow::AbletonVersionRow(const AbletonVersion& version, SetupViewControllerProtocol& controller,
                                     bool expanded, QWidget* parent)
    : QWidget(parent)
    , m_controller(controller)
    , m_version(version) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_disclosure = new AlignedDisclosure(expanded, this);
    layout->addWidget(m_disclosure);

    auto* label = new QWidget;
    auto* line = new QHBoxLayout(label);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(6);
    m_symbol = new SymbolView(Symbol::circleDashed, Tint::secondary, headerSymbolSize, {}, label);
    m_text = new QLabel(label);
    styleLabel(m_text, TextStyle::body, Tint::primary);
    line->addWidget(m_symbol);
    line->addWidget(m_text, 1);
    m_disclosure->setLabel(label);

    connect(m_disclosure, &AlignedDisclosure::expandedChanged, this, &AbletonVersionRow::expandedChanged);
}

bool AbletonVersionRow::isExpanded() const {
    return m_disclosure->isExpanded();
}

void AbletonVersionRow::update(const AbletonVersion& version, const StatusFacts& facts, bool installing) {
    m_version = version;
    const RowHeader header = rowHeader(version, facts);
    if (header != m_header || !m_hasContent) {
        m_header = header;
        m_symbol->setSymbol(header.symbol, header.tint);
        m_text->setText(header.text);
        m_disclosure->setAccessibleTitle(header.text);
        styleLabel(m_text, TextStyle::body, header.secondaryText ? Tint::secondary : Tint::primary);
    }
    RowContent content = rowContent(version, installing);
    // The buttons carry the version record they act on, so a changed record rebuilds them too.
    if (content != m_content || !m_hasContent || version != m_contentVersion) {
        m_contentVersion = version;
        m_content = std::move(content);
        m_hasContent = true;
        rebuildContent();
    }
}

void AbletonVersionRow::rebuildContent() {
    auto* body = new QWidget;
    auto* column = new QVBoxLayout(body);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    if (m_content.explanation) {
        auto* text = new QLabel(*m_content.explanation, body);
        styleLabel(text, TextStyle::callout, Tint::secondary);
        text->setWordWrap(true);
        column->addWidget(text);
    }
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    for (const SetupButton& button : m_content.buttons)
        buttons->addWidget(makeSetupButton(button, m_controller, m_version, body));
    buttons->addStretch();
    column->addLayout(buttons);
    m_disclosure->setContent(body);
}

} // namespace pylon::ui
