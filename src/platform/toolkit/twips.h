#pragma once

#include <QRect>

namespace plenwick {

// Twips are 1/1440 inch. The screen's factors turn pixel counts into twips: 15 per
// pixel at 96 dots per inch. Pixels here are the toolkit's device-independent pixels.
struct TwipsPerPixel {
    double x = 15.0;
    double y = 15.0;
};

// The factors of the primary screen (or 15 and 15 when there is none).
TwipsPerPixel screenTwipsPerPixel();

// Twips to whole pixels, the nearest; what is not a number gives 0, and absurd values
// are held within what a widget's geometry can take.
int twipsToPixels(double twips, double twipsPerPixel);
// A rectangle given in twips, in pixels with the screen's factors.
QRect twipsToPixels(double left, double top, double width, double height);

// The primary screen's size in twips.
double screenWidthTwips();
double screenHeightTwips();

} // namespace plenwick
