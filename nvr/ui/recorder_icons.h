// The recorder's own artwork, drawn from simple shapes: the three 20 x 20 row images of the
// device list (not pinged yet, reachable or connected, unreachable) and the program icon of the
// window and the notification area.
#pragma once

#include <QIcon>

namespace nvrui {

// `image` is the row image number of the core (nvr::RowImage): 0, 1 or 2.
QIcon RowIcon(int image);
QIcon ProgramIcon();

}  // namespace nvrui
