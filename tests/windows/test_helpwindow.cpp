#include "windows/helpwindow.h"

#include <memory>
#include <QFontMetrics>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QLocale>
#include <QPointer>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace plenwick;

namespace {

// Design measures are twips; the tests run at 96 dots per inch, 15 twips per pixel.
int px(double twips)
{
    return qRound(twips / 15.0);
}

struct WindowDeleter {
    void operator()(frmHelp *w) const { delete w; }
};
using HelpPtr = std::unique_ptr<frmHelp, WindowDeleter>;

QColor colourOf(HelpPicture which)
{
    switch (which) {
    case HelpPicture::MainWindow:
        return QColor(255, 0, 0);
    case HelpPicture::Preferences:
        return QColor(0, 160, 0);
    case HelpPicture::DataWindow:
        return QColor(0, 0, 200);
    }
    return {};
}

} // namespace

class TestHelpWindow : public QObject {
    Q_OBJECT
public:
    static void initMain()
    {
        QCoreApplication::setAttribute(Qt::AA_Use96Dpi);
        QLocale::setDefault(QLocale::c());
    }

private:
    static HelpPtr load(HelpPictureProvider pictures = {})
    {
        HelpPtr w(new frmHelp(std::move(pictures)));
        w->formLoad();
        return w;
    }

private slots:
    void frame()
    {
        HelpPtr w = load();
        QCOMPARE(w->windowTitle(), u"Plenwick Help"_s);
        QCOMPARE(w->windowType(), Qt::Tool);
        QVERIFY(!w->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!w->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        QCOMPARE(w->size(), QSize(px(6390), px(4575)));
        QCOMPARE(w->minimumSize(), w->size());
        QCOMPARE(w->maximumSize(), w->size());
        QCOMPARE(w->VScroll1->geometry(), QRect(px(6030), px(120), px(255), px(4335)));
        QCOMPARE(w->Picture1->geometry(), QRect(px(120), px(120), px(5925), px(4305)));
        QCOMPARE(w->Picture1->frameShape(), QFrame::Box);
        // The white page sits inside the viewport's border and fills its width.
        QCOMPARE(w->viewportInside()->geometry(), w->Picture1->contentsRect());
        QCOMPARE(w->Picture2->parentWidget(), w->viewportInside());
        QCOMPARE(w->Picture2->geometry(), QRect(0, 0, px(5895), px(19000)));
        QCOMPARE(w->Picture2->palette().color(QPalette::Window), QColor(Qt::white));
    }

    void scrollRange()
    {
        HelpPtr w = load();
        QCOMPARE(w->VScroll1->minimum(), 0);
        QCOMPARE(w->VScroll1->maximum(), 14695);
        QCOMPARE(w->VScroll1->singleStep(), 50);
        QCOMPARE(w->VScroll1->pageStep(), 100);
        QCOMPARE(w->VScroll1->value(), 0);
        QCOMPARE(w->Picture2->y(), 0);
    }

    void valueMovesThePage_data()
    {
        QTest::addColumn<int>("value");
        QTest::newRow("arrow") << 50;
        QTest::newRow("odd") << 1234;
        QTest::newRow("end") << 14695;
    }

    void valueMovesThePage()
    {
        QFETCH(int, value);
        HelpPtr w = load();
        w->VScroll1->setValue(value);
        QCOMPARE(w->pageTopTwips(), double(-value));
        QCOMPARE(w->Picture2->pos(), QPoint(0, px(-value)));
        w->VScroll1->setValue(0);
        QCOMPARE(w->Picture2->y(), 0);
    }

    void draggingMovesThePage()
    {
        HelpPtr w = load();
        QSignalSpy changes(w->VScroll1, &QScrollBar::valueChanged);
        // Without tracking the value stays put during the drag: only the drag moves the page.
        w->VScroll1->setTracking(false);
        w->VScroll1->setSliderDown(true);
        w->VScroll1->setSliderPosition(3000);
        QCOMPARE(changes.count(), 0);
        QCOMPARE(w->pageTopTwips(), -3000.0);
        QCOMPARE(w->Picture2->y(), px(-3000));
        w->VScroll1->setSliderPosition(4500);
        w->VScroll1->setSliderDown(false);
        QCOMPARE(w->VScroll1->value(), 4500);
        QCOMPARE(w->Picture2->y(), px(-4500));
    }

    void endOfThePage()
    {
        HelpPtr w = load();
        w->VScroll1->setValue(w->VScroll1->maximum());
        // The page's bottom is level with the viewport's outer bottom edge: its last
        // stretch, as thick as the viewport's border, lies beneath that border.
        const int pageBottom = w->Picture2->geometry().bottom() + 1;
        const int insideBottom = w->viewportInside()->height();
        const int borders = w->Picture1->height() - w->Picture1->contentsRect().height();
        QCOMPARE(pageBottom - insideBottom, borders);
        // The footer line is in view at the bottom.
        const QRect footer = w->Label19->geometry().translated(w->Picture2->pos());
        QVERIFY(footer.top() >= 0 && footer.top() < insideBottom);
        QVERIFY(footer.bottom() >= insideBottom - 1);
    }

    void closingAnnouncesTheUnload()
    {
        auto *w = new frmHelp({});
        w->formLoad();
        QPointer<frmHelp> alive(w);
        QSignalSpy unloaded(w, &frmHelp::unloaded);
        QVERIFY(w->close());
        QCOMPARE(unloaded.count(), 1);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(alive.isNull());
    }

    void labels_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("twips");
        QTest::addColumn<double>("points");
        QTest::addColumn<bool>("centred");
        QTest::addColumn<QString>("text");

        QTest::newRow("Label1") << u"Label1"_s << QRect(60, 120, 5805, 360) << 15.75 << true
                                << u"Plenwick "_s;
        QTest::newRow("Label4") << u"Label4"_s << QRect(30, 450, 5775, 255) << 12.0 << true
                                << u"Help Document"_s;
        QTest::newRow("Label9")
            << u"Label9"_s << QRect(90, 960, 5655, 735) << 8.25 << false
            << u"Below is the main screen of Plenwick. Your memory is represented by a bar "
               u"graph, with each process (application, utility, driver, etc.) shown "
               u"proportionately according to amount of memory allocated to that process."_s;
        QTest::newRow("Label3")
            << u"Label3"_s << QRect(2130, 1950, 1845, 495) << 6.75 << true
            << u"Dynamically displays process name and current memory usage in kilobytes."_s;
        QTest::newRow("Label2") << u"Label2"_s << QRect(300, 1980, 1215, 525) << 6.75 << true
                                << u"Pull-down menus for quick acccess to features"_s;
        QTest::newRow("Label8") << u"Label8"_s << QRect(4440, 2220, 1275, 345) << 6.75 << true
                                << u"Minimize, Maximize and Close buttons."_s;
        QTest::newRow("Label11") << u"Label11"_s << QRect(240, 6810, 1785, 405) << 6.75 << true
                                 << u"Horizontal scroll bar for viewing entire bar graph."_s;
        QTest::newRow("Label7") << u"Label7"_s << QRect(2790, 6810, 2775, 555) << 6.75 << true
                                << u"Bar Graph representing your computer's total memory. "
                                   u"Colored slices of bar represent process currently "
                                   u"running."_s;
        QTest::newRow("Label10")
            << u"Label10"_s << QRect(90, 8010, 5625, 735) << 8.25 << false
            << u"Below is the Preferences screen. Due to the simplicity of Plenwick, it does "
               u"not require a confusing preferences dialog. There are two options, the display "
               u"Magnification level (100-400%), and the memory scan refresh rate."_s;
        QTest::newRow("Label6")
            << u"Label6"_s << QRect(120, 8790, 2295, 375) << 6.75 << true
            << u"Opens settings screen where you can specify graph attributes."_s;
        QTest::newRow("Label13") << u"Label13"_s << QRect(2700, 9210, 1785, 435) << 6.75 << true
                                 << u"Slider to select screen magnification level."_s;
        QTest::newRow("Label5") << u"Label5"_s << QRect(1320, 9510, 1785, 420) << 6.75 << true
                                << u"Shows elapsed time of graph monitoring period."_s;
        QTest::newRow("Label14") << u"Label14"_s << QRect(2700, 10170, 1815, 435) << 6.75 << true
                                 << u"Choose memory scan refresh rate interval."_s;
        QTest::newRow("Label18")
            << u"Label18"_s << QRect(90, 11820, 5625, 1125) << 8.25 << false
            << u"Below is the View Data screen. It displays the raw data collected during the "
               u"memory scan. Information includes, total system memory and available memory "
               u"(according to operating system). Also a detailed list of all the processes, "
               u"the data is oganized (left to right) Process ID, Filename, Current Memory "
               u"Usage, and Location of Executable File."_s;
        QTest::newRow("Label12") << u"Label12"_s << QRect(1110, 13140, 1725, 375) << 6.75 << true
                                 << u"Results of total and available memory scan."_s;
        QTest::newRow("Label16") << u"Label16"_s << QRect(3660, 13520, 945, 195) << 6.75 << true
                                 << u"Close dialog."_s;
        QTest::newRow("Label17") << u"Label17"_s << QRect(3600, 17770, 1305, 405) << 6.75 << true
                                 << u"Horizontal and vertical scroll bars."_s;
        QTest::newRow("Label15") << u"Label15"_s << QRect(990, 17820, 2145, 615) << 6.75 << true
                                 << u"Results of scan of processes using memory, displays Process "
                                    u"ID, Filename, Size, and Location."_s;
        // The footer's text is the program's own; an empty text stands for "any".
        QTest::newRow("Label19") << u"Label19"_s << QRect(30, 18810, 5835, 285) << 6.75 << true
                                 << QString();
    }

    void labels()
    {
        QFETCH(QString, name);
        QFETCH(QRect, twips);
        QFETCH(double, points);
        QFETCH(bool, centred);
        QFETCH(QString, text);

        HelpPtr w = load();
        auto *label = w->Picture2->findChild<QLabel *>(name, Qt::FindDirectChildrenOnly);
        QVERIFY(label);
        if (!text.isNull())
            QCOMPARE(label->text(), text);
        QCOMPARE(label->textFormat(), Qt::PlainText);
        QCOMPARE(label->font().family(), u"Arial"_s);
        QCOMPARE(label->font().pointSizeF(), points);
        QCOMPARE(label->alignment() & Qt::AlignHorizontal_Mask,
                 centred ? Qt::AlignHCenter : Qt::AlignLeft);
        // Captions over a picture let it show around their letters.
        QVERIFY(!label->autoFillBackground());
        QCOMPARE(label->pos(), QPoint(px(twips.x()), px(twips.y())));
        QCOMPARE(label->width(), px(twips.width()));
        // The whole text fits, wrapped within the label's width.
        QVERIFY(label->wordWrap());
        const QRect needed =
            QFontMetrics(label->font())
                .boundingRect(QRect(0, 0, label->width(), 10000),
                              int(label->alignment()) | Qt::TextWordWrap, label->text());
        QVERIFY2(needed.width() <= label->width() && needed.height() <= label->height(),
                 qPrintable(name));
    }

    void pictures_data()
    {
        QTest::addColumn<int>("kind");
        // 0: no provider, 1: the provider gives nothing, 2: pictures of the size asked for,
        // 3: pictures of another size, fitted.
        QTest::newRow("no provider") << 0;
        QTest::newRow("provider gives nothing") << 1;
        QTest::newRow("provider, size asked") << 2;
        QTest::newRow("provider, other size") << 3;
    }

    void pictures()
    {
        QFETCH(int, kind);
        auto asked = std::make_shared<QList<QSize>>();
        HelpPictureProvider provider;
        if (kind > 0) {
            provider = [asked, kind](HelpPicture which, QSize size) {
                asked->append(size);
                if (kind == 1)
                    return QPixmap();
                QPixmap pixmap(kind == 2 ? size : QSize(40, 30));
                pixmap.fill(colourOf(which));
                return pixmap;
            };
        }
        HelpPtr w(new frmHelp(provider));
        QVERIFY(asked->isEmpty());
        w->formLoad();

        const QLabel *images[] = {w->Image3, w->Image1, w->Image2};
        const HelpPicture which[] = {HelpPicture::MainWindow, HelpPicture::Preferences,
                                     HelpPicture::DataWindow};
        const QPoint twips[] = {{0, 1800}, {60, 8580}, {90, 12990}};
        const QSize sizes[] = {{387, 379}, {301, 180}, {329, 370}};
        if (kind > 0)
            QCOMPARE(*asked, QList<QSize>(std::begin(sizes), std::end(sizes)));
        const QColor lightGrey(0xd3, 0xd3, 0xd3);
        for (int i = 0; i < 3; ++i) {
            const QLabel *image = images[i];
            QCOMPARE(image->parentWidget(), w->Picture2);
            QCOMPARE(image->pos(), QPoint(px(twips[i].x()), px(twips[i].y())));
            QCOMPARE(image->size(), sizes[i]);
            QCOMPARE(image->pixmap().deviceIndependentSize().toSize(), sizes[i]);
            const QImage shown = image->pixmap().toImage();
            const QPoint corner(sizes[i].width() - 5, sizes[i].height() - 5);
            if (kind >= 2) {
                QCOMPARE(shown.pixelColor(4, 4), colourOf(which[i]));
                QCOMPARE(shown.pixelColor(corner), colourOf(which[i]));
                continue;
            }
            // The placeholder is grey with the window's name written in it.
            QCOMPARE(shown.pixelColor(4, 4), lightGrey);
            QCOMPARE(shown.pixelColor(corner), lightGrey);
            bool written = false;
            for (int y = 0; y < shown.height() && !written; ++y)
                for (int x = 0; x < shown.width() && !written; ++x)
                    written = shown.pixelColor(x, y) != lightGrey;
            QVERIFY(written);
        }
    }

    void captionsAboveThePictures()
    {
        HelpPtr w = load();
        const QList<QLabel *> images{w->Image3, w->Image1, w->Image2};
        const QObjectList stacking = w->Picture2->children(); // bottom to top
        int captions = 0;
        for (QLabel *label : w->Picture2->findChildren<QLabel *>(Qt::FindDirectChildrenOnly)) {
            for (QLabel *image : images) {
                if (label == image || !image->geometry().contains(label->geometry().topLeft()))
                    continue;
                ++captions;
                QVERIFY2(stacking.indexOf(label) > stacking.indexOf(image),
                         qPrintable(label->objectName()));
                QCOMPARE(w->Picture2->childAt(label->geometry().center()), label);
            }
        }
        // Label3, Label2, Label8, Label11, Label7 on the main window; Label6, Label13, Label5,
        // Label14 on the preferences window; Label12, Label16, Label17, Label15 on the data window.
        QCOMPARE(captions, 13);
    }
};

QTEST_MAIN(TestHelpWindow)
#include "test_helpwindow.moc"
