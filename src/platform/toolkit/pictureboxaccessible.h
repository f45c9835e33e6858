#pragma once

namespace plenwick {

// Makes assistive technology see a picture box's accessible controls (the chart's
// slice labels) as its children, each with its name and where it lies. Installed
// once; picture boxes call it when they are made.
void installPictureBoxAccessibility();

} // namespace plenwick
