#pragma once
#include <QLabel>
#include <QMainWindow>

namespace zelk::gui {

// The layout the viewer and the composer share: a framed, selectable header summary over the
// message's text, which takes the rest of the window. Returns the header.
QLabel* PutHeaderOverText(QMainWindow& window, QWidget& text);

}  // namespace zelk::gui
