#pragma once

namespace plenwick {

class PictureBox;

// Makes assistive technology see a picture box's accessible controls (the chart's
// slice labels) as its children, each with its name and where it lies. Installed
// once; picture boxes call it when they are made.
void installPictureBoxAccessibility();

// Tells assistive technology which of a picture box's children came or went since the
// picture last changed; the picture calls it once its drawing of a change is done.
void tellPictureBoxChanges(PictureBox *picture);

} // namespace plenwick
