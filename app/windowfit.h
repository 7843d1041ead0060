#pragma once

#include <QRect>
#include <QSize>

namespace nimbra {

// The main window's design size and the smallest size its layout takes (Main's own figures).
inline constexpr QSize kWindowDesignSize{1360, 836};
inline constexpr QSize kWindowMinimumSize{1060, 680};

// Where the window opens: the remembered geometry (or, with none, the design size centred), shrunk to
// the screen's available area but never below the minimum, and moved so that it lies inside that
// area (its top-left corner first where even the minimum does not fit).
QRect fitWindowGeometry(const QRect &remembered, const QRect &available, QSize design = kWindowDesignSize,
                        QSize minimum = kWindowMinimumSize);

// The same on this desktop: the available area of the screen that holds the remembered window's
// centre, else of the primary screen. An invalid rectangle when there is no screen.
QRect startWindowGeometry(const QRect &remembered);

} // namespace nimbra
