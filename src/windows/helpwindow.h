#pragma once

#include "helppictures.h"

#include <QWidget>

class QCloseEvent;
class QFrame;
class QLabel;
class QScrollBar;

namespace plenwick {

// The help window: one tall page with pictures of the program's main, preferences
// and data windows, a paragraph above each and captions laid over their parts,
// scrolled through a fixed viewport by a vertical scroll bar. Measures are twips; the
// scroll bar's values are twips of the page.
class frmHelp : public QWidget {
    Q_OBJECT
public:
    // `pictures` makes the three pictures when the window loads; when it is empty, or
    // gives no picture, a grey placeholder of the same size stands in.
    explicit frmHelp(HelpPictureProvider pictures, QWidget *parent = nullptr);

    // The load handler: sets the scroll range and fetches the pictures.
    void formLoad();

    // --- Controls (object names are the same) ---
    QScrollBar *VScroll1 = nullptr;
    QFrame *Picture1 = nullptr;  // the viewport, with its border
    QWidget *Picture2 = nullptr; // the page, inside the viewport
    QLabel *Image3 = nullptr;    // the main window
    QLabel *Image1 = nullptr;    // the preferences window
    QLabel *Image2 = nullptr;    // the data window
    QLabel *Label1 = nullptr, *Label2 = nullptr, *Label3 = nullptr, *Label4 = nullptr,
           *Label5 = nullptr, *Label6 = nullptr, *Label7 = nullptr, *Label8 = nullptr,
           *Label9 = nullptr, *Label10 = nullptr, *Label11 = nullptr, *Label12 = nullptr,
           *Label13 = nullptr, *Label14 = nullptr, *Label15 = nullptr, *Label16 = nullptr,
           *Label17 = nullptr, *Label18 = nullptr, *Label19 = nullptr;

    // --- Event handlers ---
    // The scroll value changed (arrow, trough, keyboard, end of a drag): moves the page.
    void VScroll1_Change();
    // The thumb is being dragged: moves the page.
    void VScroll1_Scroll();

    // The inside of the viewport, within its border: the page's container.
    QWidget *viewportInside() const { return m_inside; }

    // Sizes and the page's place in twips, as the window holds them.
    double pageTopTwips() const { return m_pageTopTwips; }
    double pageHeightTwips() const { return m_pageHeightTwips; }
    double viewportHeightTwips() const { return m_viewportHeightTwips; }

signals:
    // The window has accepted a close and goes away.
    void unloaded();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // Puts the page's top at -value twips.
    void movePage(int value);
    void loadPictures();
    void showPicture(QLabel *image, HelpPicture which);

    HelpPictureProvider m_pictures;
    QWidget *m_inside = nullptr;
    double m_pageTopTwips = 0;
    double m_pageHeightTwips = 0;
    double m_viewportHeightTwips = 0;
};

// A stand-in for a picture that could not be made: a light grey box of the given size
// in pixels with the window's name in it.
QPixmap helpPicturePlaceholder(HelpPicture which, QSize size, qreal devicePixelRatio = 1.0);

} // namespace plenwick
