#pragma once

#include "status/AbletonVersion.h"
#include "ui/common/Symbols.h"
#include "ui/setup/SetupPresenter.h"

#include <QList>
#include <QString>
#include <optional>

namespace pylon::ui {

// "Live 12" for "Live 12 User Library"; "Live 12 (Wine: ~/.wine)" when the list names places.
QString shortName(const AbletonVersion& version);
// "12" for "Live 12 User Library".
QString versionNumber(const AbletonVersion& version);

// The header line of a Live row: a symbol in a colour and a text.
struct RowHeader {
    Symbol symbol = Symbol::circleDashed;
    Tint tint = Tint::secondary;
    QString text;
    bool secondaryText = false; // the text in the secondary colour too
    bool operator==(const RowHeader&) const = default;
};

// The first rule that applies: no User Library; the running Live is this version and connected;
// it is this version and running, busy or unresponsive; else the control script's state.
RowHeader rowHeader(const AbletonVersion& version, const StatusFacts& facts);

// A row starts collapsed only when there is nothing to do: a library with the script installed.
bool rowStartsExpanded(const AbletonVersion& version);

// The content under an expanded row. Install buttons are disabled while an installation runs.
struct RowContent {
    std::optional<QString> explanation; // secondary text above the buttons
    QList<SetupButton> buttons;
    bool operator==(const RowContent&) const = default;
};

RowContent rowContent(const AbletonVersion& version, bool installing);

// The Live section without any detected Live.
struct NoLiveNotice {
    Symbol symbol = Symbol::exclamationmarkTriangleFill;
    Tint tint = Tint::orange;
    QString text;
    QString addWinePrefixButton; // beside the text: choose a Wine prefix that Pylon did not find by itself
    QString addWinePrefixTitle;  // the folder chooser's title
};
NoLiveNotice noLiveNotice();
inline constexpr int instancesSectionHeight = 140;

// The developer row of the development build.
struct DevModeContent {
    QString caption;
    QList<SetupButton> buttons;
};
DevModeContent devModeContent();

} // namespace pylon::ui
