#pragma once

#include "platform/toolkit/controlarray.h"

namespace plenwick {

class PictureBox;

// The control arrays that live on the chart picture.
struct ChartControls {
    ChartControls();

    // The bar's outline: nine edges; element 0, the front bottom edge, is the line
    // from which slices and scale are placed.
    ControlArray<LineControl> barOutline;
    // Per slice: the leader line, the colour swatch and the label.
    ControlArray<LineControl> progLeader1;
    ControlArray<ShapeControl> progLeader2;
    ControlArray<LabelControl> progLabel;
    // One label per major tick of the scale.
    ControlArray<LabelControl> gridLabel;

    // Lets `picture` paint the controls, in their stacking order.
    void attachTo(PictureBox &picture) const;
};

} // namespace plenwick
