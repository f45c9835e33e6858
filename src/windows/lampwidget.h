#pragma once

#include "platform/toolkit/vbcolor.h"

#include <QWidget>

namespace plenwick {

// A small filled circle with a thin black rim, like an indicator lamp. It takes no
// focus and no input; its fill colour is all it has.
class LampWidget : public QWidget {
    Q_OBJECT
public:
    explicit LampWidget(QWidget *parent = nullptr);

    VbColor fillColor() const { return m_fillColor; }
    void setFillColor(VbColor color);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    VbColor m_fillColor = rgb(255, 0, 0);
};

} // namespace plenwick
