#pragma once

#include "controlarray.h"
#include "rasterline.h"
#include "vbcolor.h"

#include <cstdint>
#include <QImage>
#include <QWidget>
#include <vector>

namespace plenwick {

// A picture box whose inner scale is pixels. What is drawn on it persists in a
// backing image until `cls`, and the controls it holds are painted above the
// drawings. The backing image has the screen's device pixels, so drawings stay crisp
// on a high-density screen, and each logical pixel drawn covers its whole block of
// device pixels, so the picture at any whole scale is the unscaled one enlarged. A
// picture too large to be held draws nothing. Tooltips of the labels it holds are
// served here by hit-testing, and shown as plain text.
//
// `updateChanged` repaints only where the picture differs from what it showed at the
// last call: where lines left other colours and where the controls changed. A picture
// drawn again the same costs no repainting, even where a line was drawn over and then
// drawn back in between (the chart's leaders cross its top face, which the next slice
// covers again).
class PictureBox : public QWidget, private PixelWatcher {
    Q_OBJECT
public:
    explicit PictureBox(QWidget *parent = nullptr);

    VbColor backColor() const { return m_backColor; }
    void setBackColor(VbColor color);

    // Inner size in pixels.
    int scaleWidth() const { return width(); }
    int scaleHeight() const { return height(); }

    // Removes everything drawn.
    void cls();
    // Has the parts of the picture repainted that changed since the last call: pixels
    // drawn in another colour, controls that appeared, moved, changed or went.
    void updateChanged();
    // A straight line from (x1, y1) to (x2, y2), both ends included.
    void line(double x1, double y1, double x2, double y2, VbColor color);
    // `count` such lines side by side, each one pixel right of the one before.
    void lineRun(double x1, double y1, double x2, double y2, int count, VbColor color);

    // Controls are painted in the order they were added, each layer above the last.
    // The elements of an `accessible` layer are told to assistive technology as the
    // picture's children.
    void addLayer(const ControlLayer *layer, bool accessible = false);

    // The accessible children as they stand now, in layer and index order.
    std::vector<ControlLayer::AccessibleItem> accessibleItems() const;
    // Tells assistive technology that the children have changed.
    void notifyAccessibleChildrenChanged();

    // The drawing (without the controls), one pixel per logical pixel.
    QImage drawing() const;
    // The colour drawn at a logical pixel.
    VbColor pixelAt(int x, int y) const;
    // Device pixels per logical pixel of the backing image.
    int imageScale() const { return m_scale; }
    // The drawing's pixels as they are stored.
    const QImage &backingImage() const { return m_image; }

signals:
    void mouseMovedTo(QPointF pos);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    void fitImage();
    // Who is told of pixel changes by lines within these bounds: nobody where a repaint
    // is due anyway.
    PixelWatcher *watcherFor(double left, double top, double right, double bottom);
    // Keeps the colours of a pixel's tile before its first change since the last
    // updateChanged, unless a repaint of it is due anyway.
    void beforeChange(int x, int y) override;
    // Adds where the kept tiles differ from the picture now, and forgets them.
    void takeTileChanges(std::vector<QRect> &areas);
    void forgetTiles();

    QImage m_image;                 // null when an image of the wanted size could not be had
    QRect m_changed;                // repainted whole at the next updateChanged (an erase)
    QRect m_repaintDue;             // asked to be repainted whole, and not painted since
    bool m_wholeRepaintDue = false; // the whole picture is changed or due
    QRect m_inked;                  // pixels that may differ from the back colour (logical pixels)
    std::vector<QRect> m_areas;     // kept for its capacity
    // The picture as the last updateChanged left it, for the tiles drawn on since: one
    // logical pixel per entry, kTile * kTile entries a tile, in the order kept.
    static constexpr int kTile = 16;
    int m_tilesAcross = 0, m_tilesDown = 0;
    std::vector<std::uint32_t> m_tileKeptIn; // by tile: the generation it was kept in
    std::uint32_t m_generation = 1;
    std::vector<int> m_keptTiles;
    std::vector<std::uint32_t> m_keptPixels;
    QSize m_imageSize; // the size last asked for
    int m_scale = 1;
    VbColor m_backColor = kWhite;
    std::vector<const ControlLayer *> m_layers;
    std::vector<const ControlLayer *> m_accessibleLayers;
};

} // namespace plenwick
