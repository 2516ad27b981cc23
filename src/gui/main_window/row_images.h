#pragma once
#include <QIcon>
#include <QSize>
#include <array>
#include <map>

#include "store/list_model.h"

namespace zelk::gui {

// The picture a message row shows: its mark's image with the "new" symbol and the clip laid
// over it, greyed ("cut") while only the header is here. Drawn once per combination from the
// program's scalable icons, so rows stay crisp at any screen scale.
class RowImages {
 public:
  // Twice as wide as high: the clip, then the mark.
  static constexpr QSize kSize{32, 16};
  RowImages();
  const QIcon& For(const store::RowLook& look);

 private:
  std::array<QIcon, 8> marks_;
  QIcon newOverlay_;
  QIcon clip_;
  std::map<int, QIcon> composed_;
};

}  // namespace zelk::gui
