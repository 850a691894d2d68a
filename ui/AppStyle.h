#pragma once

namespace kesola {

// The windows' buttons, labels and cells are drawn in the colours the system gives them, through each widget's
// palette. Windows' native style draws a button in the system's own face colour whatever the palette says, so
// both platforms draw with Qt's Fusion style, which takes the palette's colours. Needs the application object,
// before any window is made.
void installStyleThatHonoursColours();

}  // namespace kesola
