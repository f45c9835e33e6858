#include "chartcontrols.h"

#include "platform/toolkit/picturebox.h"

#include <QFont>

namespace plenwick {

using namespace Qt::StringLiterals;

namespace {

LineControl barEdgeTemplate()
{
    LineControl line;
    line.borderWidth = 2;
    line.borderColor = kBlack;
    return line;
}

LineControl leaderTemplate()
{
    // Placed out of view above the picture; only copies are used for slices.
    LineControl line;
    line.x1 = line.x2 = 10;
    line.y1 = -40;
    line.y2 = -20;
    line.borderColor = rgb(0, 255, 0);
    return line;
}

ShapeControl swatchTemplate()
{
    ShapeControl shape;
    shape.left = 10;
    shape.top = -40;
    shape.width = 7;
    shape.height = 12;
    shape.backColor = rgb(0, 255, 0);
    return shape;
}

LabelControl labelTemplate()
{
    LabelControl label;
    label.left = 30;
    label.top = -40;
    label.setCaption(u"Progam Name"_s);
    return label;
}

LabelControl gridLabelTemplate()
{
    LabelControl label;
    QFont font(u"Arial"_s);
    font.setPointSizeF(6.75);
    font.setWeight(QFont::Normal);
    label.setFont(font);
    label.left = 100000; // out of view to the right until the scale places it
    label.top = 0;
    label.setCaption(u"Grid Label"_s);
    return label;
}

} // namespace

ChartControls::ChartControls()
    : barOutline(barEdgeTemplate()), progLeader1(leaderTemplate()), progLeader2(swatchTemplate()),
      progLabel(labelTemplate()), gridLabel(gridLabelTemplate())
{
    // All nine edges of the outline exist from the start and are visible.
    for (int i = 1; i <= 8; ++i) {
        barOutline.load(i);
        barOutline.find(i)->visible = true;
    }
}

void ChartControls::attachTo(PictureBox &picture) const
{
    picture.addLayer(&barOutline);
    picture.addLayer(&progLeader1);
    picture.addLayer(&progLeader2);
    picture.addLayer(&progLabel, true);
    picture.addLayer(&gridLabel);
}

} // namespace plenwick
