#pragma once

#include <QPixmap>
#include <QWidget>

namespace pylon::ui {

// How to make Live talk to Pylon: choose Pylon as a control surface, with a picture of the place
// (the bundle's "AbletonMidiSettings"; without it, the text alone).
class LiveSetupHelpView : public QWidget {
    Q_OBJECT
public:
    explicit LiveSetupHelpView(const QPixmap& picture, QWidget* parent = nullptr);

    // Whether the picture was found and drawn.
    bool hasPicture() const { return m_hasPicture; }

private:
    bool m_hasPicture = false;
};

} // namespace pylon::ui
