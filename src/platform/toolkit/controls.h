#pragma once

#include "vbcolor.h"

#include <memory>
#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QPointF>
#include <QRectF>
#include <QStaticText>
#include <QString>

class QPainter;

namespace plenwick {

// Light-weight controls that a picture box draws itself, above its drawings. They
// number in the hundreds per scan, so they are plain values, not widgets.
// Coordinates are in the picture box's inner scale (pixels).

struct LineControl {
    float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    VbColor borderColor = kBlack;
    int borderWidth = 1;
    bool visible = true;

    void paint(QPainter &painter) const;
    QRectF bounds() const;
    // Every pixel that painting may touch lies within.
    QRectF paintBounds() const { return bounds(); }
    bool looksLike(const LineControl &other) const { return *this == other; }
    bool operator==(const LineControl &) const = default;
};

struct ShapeControl {
    enum class Kind { Rectangle, Circle };
    Kind kind = Kind::Rectangle;
    float left = 0, top = 0, width = 0, height = 0;
    VbColor backColor = kWhite;
    VbColor borderColor = kBlack;
    bool visible = true;

    void paint(QPainter &painter) const;
    QRectF bounds() const { return {left, top, width, height}; }
    QRectF paintBounds() const { return bounds().adjusted(-1, -1, 1, 1); }
    bool looksLike(const ShapeControl &other) const { return *this == other; }
    bool operator==(const ShapeControl &) const = default;
};

// A label with a transparent background. Its caption and tooltip are plain text.
class LabelControl {
public:
    LabelControl();

    float left = 0, top = 0;
    QString toolTipText;
    VbColor foreColor = kBlack;
    bool visible = true;
    bool enabled = true;

    const QString &caption() const { return m_caption; }
    // With auto-size on (the default), the width and height follow the caption at once.
    void setCaption(const QString &caption);

    const QFont &font() const { return m_font->font; }
    void setFont(const QFont &font);

    bool autoSize() const { return m_autoSize; }
    void setAutoSize(bool on);

    float width() const { return m_width; }
    float height() const { return m_height; }
    void setSize(float width, float height);

    void paint(QPainter &painter) const;
    QRectF bounds() const { return {left, top, m_width, m_height}; }
    // With room for glyphs that reach past their advance.
    QRectF paintBounds() const { return bounds().adjusted(-4, -2, 4, 2); }
    // Paints the same pixels (the tooltip is not painted).
    bool looksLike(const LabelControl &other) const;

private:
    // A caption measured and laid out once. Most captions come back scan after scan,
    // on labels made afresh each time, so this is kept with the font, not the label.
    struct CaptionLayout {
        float width = 0;
        QStaticText text; // plain text, prepared for painting on first use
        bool prepared = false;
    };
    struct FontInfo {
        explicit FontInfo(const QFont &f) : font(f), metrics(f) {}
        std::shared_ptr<CaptionLayout> layoutOf(const QString &caption) const;
        QFont font;
        QFontMetricsF metrics;
        // Two generations: the captions in use now, and those of the generation before,
        // which a caption still in use is taken over from when the next one begins.
        mutable QHash<QString, std::shared_ptr<CaptionLayout>> captions;
        mutable QHash<QString, std::shared_ptr<CaptionLayout>> older;
    };
    void fitToCaption();
    const CaptionLayout &layout() const;

    QString m_caption;
    // The caption's layout in the font, once looked up (a label is painted far more
    // often than its caption changes).
    mutable std::shared_ptr<CaptionLayout> m_layout;
    // Shared between copies, so that a control array's elements measure text cheaply.
    std::shared_ptr<const FontInfo> m_font;
    float m_width = 0, m_height = 0;
    bool m_autoSize = true;
};

} // namespace plenwick
