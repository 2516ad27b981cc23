#include "gui/common/message_layout.h"

#include <QVBoxLayout>

namespace zelk::gui {

QLabel* PutHeaderOverText(QMainWindow& window, QWidget& text) {
  auto* central = new QWidget(&window);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  auto* header = new QLabel(central);
  header->setTextFormat(Qt::PlainText);
  header->setTextInteractionFlags(Qt::TextSelectableByMouse);
  header->setContentsMargins(4, 2, 4, 2);
  header->setFrameShape(QFrame::StyledPanel);
  // A long subject or list of addresses goes on over more lines instead of past the edge.
  header->setWordWrap(true);
  text.setParent(central);
  layout->addWidget(header);
  layout->addWidget(&text, 1);
  window.setCentralWidget(central);
  return header;
}

}  // namespace zelk::gui
