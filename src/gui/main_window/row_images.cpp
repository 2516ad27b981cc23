#include "gui/main_window/row_images.h"

#include <QPainter>
#include <QPixmap>

namespace zelk::gui {

namespace {

constexpr int kSizes[] = {16, 24, 32, 48};

}  // namespace

RowImages::RowImages()
    : newOverlay_(":/icons/overlay-new.svg"), clip_(":/icons/clip.svg") {
  for (std::size_t i = 0; i < marks_.size(); ++i) marks_[i] = QIcon(QString(":/icons/mark-%1.svg").arg(i));
}

const QIcon& RowImages::For(const store::RowLook& look) {
  const int key = (look.image + 1) * 8 + (look.newOverlay ? 4 : 0) + (look.clip ? 2 : 0) + (look.cut ? 1 : 0);
  const auto found = composed_.find(key);
  if (found != composed_.end()) return found->second;
  QIcon icon;
  for (const int size : kSizes) {
    // The clip stands left of the mark, where the list's state image stood.
    QPixmap pixmap(2 * size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    if (look.clip) clip_.paint(&painter, 0, 0, size, size);
    if (look.cut) painter.setOpacity(0.45);
    if (look.image >= 0 && look.image < static_cast<int>(marks_.size())) {
      marks_[static_cast<std::size_t>(look.image)].paint(&painter, size, 0, size, size);
    }
    painter.setOpacity(1.0);
    if (look.newOverlay) newOverlay_.paint(&painter, size, 0, size, size);
    painter.end();
    icon.addPixmap(pixmap);
  }
  return composed_.emplace(key, icon).first->second;
}

}  // namespace zelk::gui
