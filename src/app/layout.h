#pragma once

#include <QString>

namespace tovrin {

// What the layout rule reads: the window's outer size and the design values
// of the controls it measures against, all in twips, and the size of one
// pixel in twips (15 at 96 dpi).
struct LayoutInput {
    double windowWidth = 0;
    double windowHeight = 0;
    double text1Height = 0;
    double text3Left = 0;
    double text3Width = 0;
    double command3Width = 0;
    double twipsPerPixelX = 15;
    double twipsPerPixelY = 15;
};

// Where the rule puts the display and the bottom row, in pixels of the
// client area.
struct LayoutResult {
    int displayLeft = 0;
    int displayTop = 0;
    int displayWidth = 0;
    int displayHeight = 0;
    int command3Left = 0;
    int command1_1Top = 0;
    int label3Top = 0;
    int command3Top = 0;
    int text3Top = 0;
    int label4Top = 0;
    int text4Top = 0;
    friend bool operator==(const LayoutResult&, const LayoutResult&) = default;
};

// The layout rule. The display takes 5 % of the window width as its left
// margin and 90 % as its width; its top lies 8 % of the window height plus
// one amount box below the top, its height is three quarters of what the
// amount box leaves. The bottom row sits 150 twips below the display, the two
// boxes 20 higher than the labels and buttons beside them, and the settlement
// button's right edge meets the display's unless that brings it within 200
// twips of the discount box. A position is snapped to whole pixels when
// assigned, and a later step reads the snapped value back, as a control
// reports it. Sizes never go below zero.
LayoutResult layoutRule(const LayoutInput& in);

// The first installed of the design face and its stand-ins.
QString designFamily();

}  // namespace tovrin
