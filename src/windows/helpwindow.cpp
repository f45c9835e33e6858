#include "helpwindow.h"

#include "platform/toolkit/toolkit.h"
#include "platform/toolkit/twips.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <QApplication>
#include <QCloseEvent>
#include <QFontMetricsF>
#include <QFrame>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

namespace plenwick {

using namespace Qt::StringLiterals;

namespace {

// The window's client area, in twips.
constexpr double kClientWidth = 6390;
constexpr double kClientHeight = 4575;

struct TwipsRect {
    double left, top, width, height;
};

constexpr TwipsRect kScrollBarRect{6030, 120, 255, 4335};
constexpr TwipsRect kViewportRect{120, 120, 5925, 4305};
constexpr TwipsRect kPageRect{0, 0, 5895, 19000};

// Arrow and trough steps of the scroll bar, in twips of the page.
constexpr int kSmallChange = 50;
constexpr int kLargeChange = 100;

// The size of the page's paragraphs, in points.
constexpr double kParagraphPointSize = 8.25;

struct PictureSpec {
    QStringView name;
    HelpPicture shows;
    QStringView accessibleName;
    double left, top; // twips on the page
    QSize pixels;     // shown at this size whatever the screen's density
};

const PictureSpec kPictures[] = {
    {u"Image3", HelpPicture::MainWindow, u"Picture of the main window", 0, 1800, {387, 379}},
    {u"Image1",
     HelpPicture::Preferences,
     u"Picture of the preferences window",
     60,
     8580,
     {301, 180}},
    {u"Image2", HelpPicture::DataWindow, u"Picture of the data window", 90, 12990, {329, 370}},
};

struct LabelSpec {
    QStringView name;
    TwipsRect rect;
    double pointSize;
    bool centred;
    QStringView text;
};

// The page's texts, from top to bottom.
const LabelSpec kLabels[] = {
    {u"Label1", {60, 120, 5805, 360}, 15.75, true, u"Plenwick "},
    {u"Label4", {30, 450, 5775, 255}, 12, true, u"Help Document"},
    {u"Label9",
     {90, 960, 5655, 735},
     kParagraphPointSize,
     false,
     u"Below is the main screen of Plenwick. Your memory is represented by a bar graph, with "
     u"each process (application, utility, driver, etc.) shown proportionately according to "
     u"amount of memory allocated to that process."},
    {u"Label3",
     {2130, 1950, 1845, 495},
     6.75,
     true,
     u"Dynamically displays process name and current memory usage in kilobytes."},
    {u"Label2",
     {300, 1980, 1215, 525},
     6.75,
     true,
     u"Pull-down menus for quick acccess to features"},
    {u"Label8", {4440, 2220, 1275, 345}, 6.75, true, u"Minimize, Maximize and Close buttons."},
    {u"Label11",
     {240, 6810, 1785, 405},
     6.75,
     true,
     u"Horizontal scroll bar for viewing entire bar graph."},
    {u"Label7",
     {2790, 6810, 2775, 555},
     6.75,
     true,
     u"Bar Graph representing your computer's total memory. Colored slices of bar represent "
     u"process currently running."},
    {u"Label10",
     {90, 8010, 5625, 735},
     kParagraphPointSize,
     false,
     u"Below is the Preferences screen. Due to the simplicity of Plenwick, it does not require "
     u"a confusing preferences dialog. There are two options, the display Magnification level "
     u"(100-400%), and the memory scan refresh rate."},
    {u"Label6",
     {120, 8790, 2295, 375},
     6.75,
     true,
     u"Opens settings screen where you can specify graph attributes."},
    {u"Label13",
     {2700, 9210, 1785, 435},
     6.75,
     true,
     u"Slider to select screen magnification level."},
    {u"Label5",
     {1320, 9510, 1785, 420},
     6.75,
     true,
     u"Shows elapsed time of graph monitoring period."},
    {u"Label14",
     {2700, 10170, 1815, 435},
     6.75,
     true,
     u"Choose memory scan refresh rate interval."},
    {u"Label18",
     {90, 11820, 5625, 1125},
     kParagraphPointSize,
     false,
     u"Below is the View Data screen. It displays the raw data collected during the memory "
     u"scan. Information includes, total system memory and available memory (according to "
     u"operating system). Also a detailed list of all the processes, the data is oganized (left "
     u"to right) Process ID, Filename, Current Memory Usage, and Location of Executable File."},
    {u"Label12",
     {1110, 13140, 1725, 375},
     6.75,
     true,
     u"Results of total and available memory scan."},
    {u"Label16", {3660, 13520, 945, 195}, 6.75, true, u"Close dialog."},
    {u"Label17", {3600, 17770, 1305, 405}, 6.75, true, u"Horizontal and vertical scroll bars."},
    {u"Label15",
     {990, 17820, 2145, 615},
     6.75,
     true,
     u"Results of scan of processes using memory, displays Process ID, Filename, Size, and "
     u"Location."},
    {u"Label19", {30, 18810, 5835, 285}, 6.75, true, u"Plenwick 1.0 \u2014 memory at a glance."},
};

QFont helpFont(double pointSize)
{
    QFont font(u"Arial"_s);
    font.setPointSizeF(pointSize);
    return font;
}

QRect pixelRect(const TwipsRect &r)
{
    return twipsToPixels(r.left, r.top, r.width, r.height);
}

// A scroll bar value is a 16-bit integer.
int toScrollValue(double value)
{
    const double rounded = std::nearbyint(value);
    return static_cast<int>(std::clamp(rounded, double(std::numeric_limits<qint16>::min()),
                                       double(std::numeric_limits<qint16>::max())));
}

QString pictureName(HelpPicture which)
{
    switch (which) {
    case HelpPicture::MainWindow:
        return u"Main window"_s;
    case HelpPicture::Preferences:
        return u"Preferences window"_s;
    case HelpPicture::DataWindow:
        return u"Data window"_s;
    }
    return {};
}

} // namespace

QPixmap helpPicturePlaceholder(HelpPicture which, QSize size, qreal devicePixelRatio)
{
    const qreal ratio = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    QPixmap pixmap(QSizeF(QSizeF(size) * ratio).toSize());
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(QColor(0xd3, 0xd3, 0xd3));
    QPainter painter(&pixmap);
    painter.setPen(QColor(0x80, 0x80, 0x80));
    painter.drawRect(QRect(QPoint(0, 0), size).adjusted(0, 0, -1, -1));
    QFont font(u"Arial"_s);
    font.setPointSizeF(8.25);
    painter.setFont(font);
    painter.setPen(QColor(0x40, 0x40, 0x40));
    painter.drawText(QRect(QPoint(0, 0), size), Qt::AlignCenter | Qt::TextWordWrap,
                     pictureName(which));
    return pixmap;
}

frmHelp::frmHelp(HelpPictureProvider pictures, QWidget *parent)
    : QWidget(parent,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_pictures(std::move(pictures))
{
    setObjectName(u"frmHelp"_s);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(u"Plenwick Help"_s);
    setWindowIcon(applicationIcon());
    const TwipsPerPixel f = screenTwipsPerPixel();
    setFixedSize(twipsToPixels(kClientWidth, f.x), twipsToPixels(kClientHeight, f.y));

    VScroll1 = new QScrollBar(Qt::Vertical, this);
    VScroll1->setObjectName(u"VScroll1"_s);
    VScroll1->setGeometry(pixelRect(kScrollBarRect));
    VScroll1->setRange(0, 0); // until the load handler sets it
    VScroll1->setSingleStep(kSmallChange);
    VScroll1->setPageStep(kLargeChange);
    // The keyboard scrolls the page too.
    VScroll1->setFocusPolicy(Qt::StrongFocus);
    VScroll1->setAccessibleName(u"Scroll the help page"_s);

    Picture1 = new QFrame(this);
    Picture1->setObjectName(u"Picture1"_s);
    Picture1->setFrameStyle(QFrame::Box | QFrame::Plain);
    Picture1->setLineWidth(1);
    Picture1->setGeometry(pixelRect(kViewportRect));
    Picture1->setAccessibleName(u"Help page"_s);

    // The page lives inside the border, so that the border stays drawn over whatever
    // part of the page slides beneath it; the inside clips the page.
    m_inside = new QWidget(Picture1);
    m_inside->setObjectName(u"Picture1Inside"_s);
    m_inside->setGeometry(Picture1->contentsRect());
    // Nothing on the page takes the mouse: the pointer's events, the wheel's above all,
    // go to the viewport.
    m_inside->setAttribute(Qt::WA_TransparentForMouseEvents);
    Picture1->installEventFilter(this);
    // One wheel notch moves the page by the desktop's number of lines of the page's text,
    // over the page and over the scroll bar alike.
    m_wheelStep = QApplication::wheelScrollLines() *
                  QFontMetricsF(helpFont(kParagraphPointSize)).lineSpacing() *
                  screenTwipsPerPixel().y;

    Picture2 = new QWidget(m_inside);
    Picture2->setObjectName(u"Picture2"_s);
    Picture2->setGeometry(pixelRect(kPageRect));
    // The page is white on every desktop, so its labels draw black text on it, whatever
    // the palette gives the rest of the program.
    QPalette page = Picture2->palette();
    page.setColor(QPalette::Window, Qt::white);
    page.setColor(QPalette::WindowText, Qt::black);
    page.setColor(QPalette::Text, Qt::black);
    Picture2->setPalette(page);
    Picture2->setAutoFillBackground(true);
    Picture2->setAccessibleName(u"Help page contents"_s);

    for (const LabelSpec &spec : kLabels) {
        auto *label = new QLabel(Picture2);
        label->setObjectName(spec.name.toString());
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(true);
        label->setAlignment((spec.centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop);
        label->setFont(helpFont(spec.pointSize));
        // No background of its own: the page or the picture beneath shows through.
        label->setAutoFillBackground(false);
        label->setText(spec.text.toString());
        label->setAccessibleName(spec.text.toString());
        label->setGeometry(pixelRect(spec.rect));
        // The design's boxes were measured for its own fonts; where this screen's fonts
        // need more lines or taller ones, the box grows downwards so no text is cut off.
        const int needed = label->heightForWidth(label->width());
        if (needed > label->height())
            label->resize(label->width(), needed);
        m_labels << label;
    }

    for (std::size_t i = 0; i < std::size(kPictures); ++i) {
        const PictureSpec &spec = kPictures[i];
        auto *image = new QLabel(Picture2);
        image->setObjectName(spec.name.toString());
        image->setFrameShape(QFrame::NoFrame);
        image->setAccessibleName(spec.accessibleName.toString());
        image->setGeometry(QRect(pixelRect({spec.left, spec.top, 0, 0}).topLeft(), spec.pixels));
        m_images[i] = image;
    }

    // Captions lie on the pictures and must be drawn above them.
    for (QLabel *label : std::as_const(m_labels))
        label->raise();

    QWidget::setTabOrder(VScroll1, Picture1);
    QWidget::setTabOrder(Picture1, Picture2);

    VScroll1->installEventFilter(this);
    connect(VScroll1, &QScrollBar::valueChanged, this, &frmHelp::VScroll1_Change);
    connect(VScroll1, &QScrollBar::sliderMoved, this, &frmHelp::VScroll1_Scroll);
}

void frmHelp::formLoad()
{
    VScroll1->setMinimum(0);
    VScroll1->setMaximum(toScrollValue(kPageRect.height - kViewportRect.height));
    for (std::size_t i = 0; i < std::size(kPictures); ++i)
        showPicture(m_images[i], kPictures[i].shows);
}

QList<QRect> frmHelp::captionsOn(const QLabel *image) const
{
    QList<QRect> captions;
    for (const QLabel *label : m_labels)
        if (label->geometry().intersects(image->geometry()))
            captions << label->geometry().translated(-image->pos());
    return captions;
}

void frmHelp::VScroll1_Change()
{
    movePage(VScroll1->value());
}

void frmHelp::VScroll1_Scroll()
{
    // While the thumb is dragged the value may lag behind it; the thumb's place counts.
    movePage(VScroll1->sliderPosition());
}

void frmHelp::movePage(int value)
{
    Picture2->move(0, twipsToPixels(-value, screenTwipsPerPixel().y));
}

void frmHelp::showPicture(QLabel *image, HelpPicture which)
{
    const QSize size = image->size();
    QPixmap pixmap;
    if (m_pictures)
        pixmap = m_pictures(which, size, devicePixelRatioF(), captionsOn(image));
    if (pixmap.isNull()) {
        pixmap = helpPicturePlaceholder(which, size, devicePixelRatioF());
    } else if (pixmap.deviceIndependentSize().toSize() != size) {
        // A picture of another size would push the captions off the parts they name.
        const qreal ratio = pixmap.devicePixelRatio();
        pixmap = pixmap.scaled(QSizeF(QSizeF(size) * ratio).toSize(), Qt::IgnoreAspectRatio,
                               Qt::SmoothTransformation);
        pixmap.setDevicePixelRatio(ratio);
    }
    image->setPixmap(pixmap);
}

void frmHelp::keyPressEvent(QKeyEvent *event)
{
    // Escape closes the window as its close box does.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier)
        close();
    else
        QWidget::keyPressEvent(event);
}

bool frmHelp::eventFilter(QObject *watched, QEvent *event)
{
    if ((watched == Picture1 || watched == VScroll1) && event->type() == QEvent::Wheel) {
        // A high-resolution wheel sends fractions of a notch: they add up.
        const QPoint delta = static_cast<QWheelEvent *>(event)->angleDelta();
        m_wheelRest -= (delta.y() ? delta.y() : delta.x()) / 120.0 * m_wheelStep;
        const int move = static_cast<int>(m_wheelRest);
        m_wheelRest -= move;
        VScroll1->setValue(VScroll1->value() + move);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void frmHelp::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    if (event->isAccepted())
        emit unloaded();
}

} // namespace plenwick
