#pragma once

#include "helppictures.h"

#include <array>
#include <QWidget>

class QCloseEvent;
class QFrame;
class QKeyEvent;
class QLabel;
class QScrollBar;

namespace plenwick {

// The help window: one tall page with pictures of the program's main, preferences
// and data windows, a paragraph above each and captions laid over their parts,
// scrolled through a fixed viewport by a vertical scroll bar (or the mouse wheel over
// the page). Measures are twips; the scroll bar's values are twips of the page. The
// page is white whatever the desktop's colours, and its text is dark on it.
class frmHelp : public QWidget {
    Q_OBJECT
public:
    // `pictures` makes the three pictures when the window loads; when it is empty, or
    // gives no picture, a grey placeholder of the same size stands in.
    explicit frmHelp(HelpPictureProvider pictures, QWidget *parent = nullptr);

    // The load handler: sets the scroll range and fetches the pictures.
    void formLoad();

signals:
    // The window has accepted a close and goes away.
    void unloaded();

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The scroll value changed (arrow, trough, keyboard, end of a drag): moves the page.
    void VScroll1_Change();
    // The thumb is being dragged: moves the page.
    void VScroll1_Scroll();
    // Puts the page's top at -value twips.
    void movePage(int value);
    void showPicture(QLabel *image, HelpPicture which);
    // Where the page's texts lie on a picture, in the picture's pixels.
    QList<QRect> captionsOn(const QLabel *image) const;

    QScrollBar *VScroll1 = nullptr;
    QFrame *Picture1 = nullptr;  // the viewport, with its border
    QWidget *Picture2 = nullptr; // the page, inside the viewport
    // Image3 (the main window), Image1 (preferences), Image2 (data window).
    std::array<QLabel *, 3> m_images{};
    QList<QLabel *> m_labels; // the page's texts
    // Twips of the page that one wheel notch moves, and what is left of a notch.
    double m_wheelStep = 0;
    double m_wheelRest = 0;

    HelpPictureProvider m_pictures;
    // The inside of the viewport, within its border: the page's container.
    QWidget *m_inside = nullptr;
};

// A stand-in for a picture that could not be made: a light grey box of the given size
// in pixels with the window's name in it.
QPixmap helpPicturePlaceholder(HelpPicture which, QSize size, qreal devicePixelRatio = 1.0);

} // namespace plenwick
