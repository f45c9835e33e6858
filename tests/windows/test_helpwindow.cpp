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
#include <vector>

using namespace Qt::StringLiterals;
using namespace plenwick;

namespace {

// Design measures are twips; the tests run at 96 dots per inch, 15 twips per pixel.
constexpr double kTwipsPerPixel = 15.0;

int px(double twips)
{
    return qRound(twips / kTwipsPerPixel);
}

// The design's page and viewport heights, in twips.
constexpr int kPageHeight = 19000;
constexpr int kViewportHeight = 4305;

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

// Gives each picture a solid colour of its own, at the size asked for, and remembers
// what was asked.
struct SolidPictures {
    struct Request {
        HelpPicture which;
        QSize size;
    };
    std::shared_ptr<std::vector<Request>> requests = std::make_shared<std::vector<Request>>();

    HelpPictureProvider provider() const
    {
        auto log = requests;
        return [log](HelpPicture which, QSize size) {
            log->push_back({which, size});
            QPixmap pixmap(size);
            pixmap.fill(colourOf(which));
            return pixmap;
        };
    }
};

QImage imageOf(const QLabel *label)
{
    return label->pixmap().toImage();
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
        QVERIFY(w->testAttribute(Qt::WA_DeleteOnClose));
    }

    void viewportAndPage()
    {
        HelpPtr w = load();
        QCOMPARE(w->VScroll1->orientation(), Qt::Vertical);
        QCOMPARE(w->VScroll1->geometry(), QRect(px(6030), px(120), px(255), px(4335)));
        QCOMPARE(w->Picture1->geometry(), QRect(px(120), px(120), px(5925), px(4305)));
        QCOMPARE(w->Picture1->frameShape(), QFrame::Box);
        QCOMPARE(w->Picture1->frameWidth(), 1);
        // The page sits inside the viewport's border and fills its width.
        QVERIFY(w->Picture1->isAncestorOf(w->Picture2));
        QCOMPARE(w->viewportInside()->geometry(), w->Picture1->contentsRect());
        QCOMPARE(w->Picture2->parentWidget(), w->viewportInside());
        QCOMPARE(w->Picture2->geometry(), QRect(0, 0, px(5895), px(19000)));
        QCOMPARE(w->Picture2->width(), w->viewportInside()->width());
        QCOMPARE(w->pageHeightTwips(), double(kPageHeight));
        QCOMPARE(w->viewportHeightTwips(), double(kViewportHeight));
    }

    void pageIsWhite()
    {
        HelpPtr w = load();
        QVERIFY(w->Picture2->autoFillBackground());
        QCOMPARE(w->Picture2->palette().color(QPalette::Window), QColor(Qt::white));
        // Between the title lines and the first paragraph nothing is drawn.
        const QImage page = w->Picture2->grab(QRect(0, 0, w->Picture2->width(), 130)).toImage();
        QCOMPARE(page.pixelColor(2, px(900)), QColor(Qt::white));
        QCOMPARE(page.pixelColor(w->Picture2->width() - 3, px(300)), QColor(Qt::white));
    }

    void scrollRange()
    {
        HelpPtr w = load();
        QCOMPARE(w->VScroll1->minimum(), 0);
        QCOMPARE(w->VScroll1->maximum(), kPageHeight - kViewportHeight);
        QCOMPARE(w->VScroll1->maximum(), 14695);
        QCOMPARE(w->VScroll1->singleStep(), 50);
        QCOMPARE(w->VScroll1->pageStep(), 100);
    }

    void startsAtTheTop()
    {
        HelpPtr w = load();
        QCOMPARE(w->VScroll1->value(), 0);
        QCOMPARE(w->pageTopTwips(), 0.0);
        QCOMPARE(w->Picture2->y(), 0);
        // "Plenwick " and "Help Document" are in view.
        const int inside = w->viewportInside()->height();
        for (QLabel *label : {w->Label1, w->Label4}) {
            const QRect r = label->geometry().translated(w->Picture2->pos());
            QVERIFY(r.top() >= 0 && r.bottom() < inside);
        }
    }

    void valueMovesThePage_data()
    {
        QTest::addColumn<int>("value");
        QTest::newRow("arrow") << 50;
        QTest::newRow("trough") << 100;
        QTest::newRow("odd") << 1234;
        QTest::newRow("middle") << 7000;
        QTest::newRow("end") << 14695;
    }

    void valueMovesThePage()
    {
        QFETCH(int, value);
        HelpPtr w = load();
        w->VScroll1->setValue(value);
        QCOMPARE(w->pageTopTwips(), double(-value));
        QCOMPARE(w->Picture2->y(), px(-value));
        QCOMPARE(w->Picture2->x(), 0);

        w->VScroll1->setValue(0);
        QCOMPARE(w->pageTopTwips(), 0.0);
        QCOMPARE(w->Picture2->y(), 0);
    }

    void arrowsAndTroughStep()
    {
        HelpPtr w = load();
        w->VScroll1->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(w->pageTopTwips(), -50.0);
        w->VScroll1->triggerAction(QAbstractSlider::SliderPageStepAdd);
        QCOMPARE(w->pageTopTwips(), -150.0);
        QCOMPARE(w->Picture2->y(), px(-150));
        w->VScroll1->triggerAction(QAbstractSlider::SliderSingleStepSub);
        QCOMPARE(w->pageTopTwips(), -100.0);
        w->VScroll1->triggerAction(QAbstractSlider::SliderToMaximum);
        QCOMPARE(w->pageTopTwips(), -14695.0);
    }

    void keyboardScrolls()
    {
        HelpPtr w = load();
        QTest::keyClick(w->VScroll1, Qt::Key_Down);
        QCOMPARE(w->pageTopTwips(), -50.0);
        QTest::keyClick(w->VScroll1, Qt::Key_PageDown);
        QCOMPARE(w->pageTopTwips(), -150.0);
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
        QCOMPARE(w->pageTopTwips(), -4500.0);

        // Letting go leaves the page where the last place put it.
        w->VScroll1->setSliderDown(false);
        QCOMPARE(w->VScroll1->value(), 4500);
        QCOMPARE(w->pageTopTwips(), -4500.0);
        QCOMPARE(w->Picture2->y(), px(-4500));
    }

    void endOfThePage()
    {
        HelpPtr w = load();
        w->VScroll1->setValue(w->VScroll1->maximum());
        // The page's bottom is level with the viewport's bottom edge: its last stretch,
        // as thick as the viewport's border, lies beneath that border.
        QCOMPARE(w->pageTopTwips() + kPageHeight, double(kViewportHeight));
        const int pageBottom = w->Picture2->geometry().bottom() + 1;
        const int insideBottom = w->viewportInside()->height();
        const int borders = w->Picture1->height() - w->Picture1->contentsRect().height();
        QCOMPARE(pageBottom - insideBottom, borders);

        // The footer line is in view at the bottom of the viewport.
        const QRect footer = w->Label19->geometry().translated(w->Picture2->pos());
        QVERIFY(footer.top() >= 0);
        QVERIFY(footer.top() < insideBottom);
        QVERIFY(footer.bottom() >= insideBottom - 1);
        QVERIFY(!w->Label19->text().isEmpty());
    }

    void closingAnnouncesTheUnload()
    {
        auto *w = new frmHelp({});
        w->formLoad();
        QPointer<frmHelp> alive(w);
        QSignalSpy unloaded(w, &frmHelp::unloaded);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
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
        QVERIFY(label->wordWrap());
        QCOMPARE(label->font().family(), u"Arial"_s);
        QCOMPARE(label->font().pointSizeF(), points);
        QVERIFY(!label->font().bold());
        QCOMPARE(label->alignment() & Qt::AlignHorizontal_Mask,
                 centred ? Qt::AlignHCenter : Qt::AlignLeft);
        QVERIFY(!label->autoFillBackground());
        QCOMPARE(label->pos(), QPoint(px(twips.x()), px(twips.y())));
        QCOMPARE(label->width(), px(twips.width()));
        QVERIFY(label->height() >= px(twips.height()));
        // The whole text fits, wrapped within the label's width.
        const QRect needed =
            QFontMetrics(label->font())
                .boundingRect(QRect(0, 0, label->width(), 10000),
                              int(label->alignment()) | Qt::TextWordWrap, label->text());
        QVERIFY2(
            needed.width() <= label->width() && needed.height() <= label->height(),
            qPrintable(u"%1 needs %2 x %3"_s.arg(name).arg(needed.width()).arg(needed.height())));
        QCOMPARE(label->accessibleName(), label->text());
    }

    void everyLabelIsOnThePage()
    {
        HelpPtr w = load();
        const auto labels = w->Picture2->findChildren<QLabel *>(Qt::FindDirectChildrenOnly);
        QCOMPARE(labels.size(), 19 + 3);
        const QList<QLabel *> members{w->Label1,  w->Label2,  w->Label3,  w->Label4,  w->Label5,
                                      w->Label6,  w->Label7,  w->Label8,  w->Label9,  w->Label10,
                                      w->Label11, w->Label12, w->Label13, w->Label14, w->Label15,
                                      w->Label16, w->Label17, w->Label18, w->Label19, w->Image1,
                                      w->Image2,  w->Image3};
        for (int i = 0; i < members.size(); ++i) {
            QVERIFY(members[i]);
            QVERIFY2(labels.contains(members[i]), qPrintable(members[i]->objectName()));
        }
    }

    void picturesAtTheirPlacesAndSizes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("which");
        QTest::addColumn<QPoint>("twips");
        QTest::addColumn<QSize>("pixels");
        QTest::newRow("Image3") << u"Image3"_s << int(HelpPicture::MainWindow) << QPoint(0, 1800)
                                << QSize(387, 379);
        QTest::newRow("Image1") << u"Image1"_s << int(HelpPicture::Preferences) << QPoint(60, 8580)
                                << QSize(301, 180);
        QTest::newRow("Image2") << u"Image2"_s << int(HelpPicture::DataWindow) << QPoint(90, 12990)
                                << QSize(329, 370);
    }

    void picturesAtTheirPlacesAndSizes()
    {
        QFETCH(QString, name);
        QFETCH(int, which);
        QFETCH(QPoint, twips);
        QFETCH(QSize, pixels);

        SolidPictures pictures;
        HelpPtr w = load(pictures.provider());
        auto *image = w->Picture2->findChild<QLabel *>(name, Qt::FindDirectChildrenOnly);
        QVERIFY(image);
        QCOMPARE(image->pos(), QPoint(px(twips.x()), px(twips.y())));
        QCOMPARE(image->size(), pixels);
        QCOMPARE(image->pixmap().deviceIndependentSize().toSize(), pixels);
        const QImage shown = imageOf(image);
        const QColor expected = colourOf(HelpPicture(which));
        QCOMPARE(shown.pixelColor(0, 0), expected);
        QCOMPARE(shown.pixelColor(shown.width() - 1, shown.height() - 1), expected);
        QVERIFY(!image->accessibleName().isEmpty());

        int asked = 0;
        for (const auto &request : *pictures.requests) {
            if (request.which == HelpPicture(which)) {
                ++asked;
                QCOMPARE(request.size, pixels);
            }
        }
        QCOMPARE(asked, 1);
    }

    void picturesAskedForOnLoad()
    {
        SolidPictures pictures;
        HelpPtr w(new frmHelp(pictures.provider()));
        QVERIFY(pictures.requests->empty());
        w->formLoad();
        QCOMPARE(pictures.requests->size(), std::size_t(3));
    }

    void pictureOfAnotherSizeIsFitted()
    {
        HelpPictureProvider provider = [](HelpPicture which, QSize) {
            QPixmap pixmap(40, 30);
            pixmap.fill(colourOf(which));
            return pixmap;
        };
        HelpPtr w = load(provider);
        QCOMPARE(w->Image3->pixmap().deviceIndependentSize().toSize(), QSize(387, 379));
        QCOMPARE(w->Image1->pixmap().deviceIndependentSize().toSize(), QSize(301, 180));
        QCOMPARE(w->Image2->pixmap().deviceIndependentSize().toSize(), QSize(329, 370));
        QCOMPARE(imageOf(w->Image1).pixelColor(150, 90), colourOf(HelpPicture::Preferences));
    }

    void placeholders_data()
    {
        QTest::addColumn<bool>("emptyProvider");
        QTest::newRow("no provider") << true;
        QTest::newRow("provider gives nothing") << false;
    }

    void placeholders()
    {
        QFETCH(bool, emptyProvider);
        HelpPictureProvider provider;
        if (!emptyProvider)
            provider = [](HelpPicture, QSize) { return QPixmap(); };
        HelpPtr w = load(provider);
        const QColor lightGrey(0xd3, 0xd3, 0xd3);
        const std::pair<QLabel *, QSize> images[] = {{w->Image3, QSize(387, 379)},
                                                     {w->Image1, QSize(301, 180)},
                                                     {w->Image2, QSize(329, 370)}};
        for (const auto &[image, size] : images) {
            QVERIFY(!image->pixmap().isNull());
            QCOMPARE(image->pixmap().deviceIndependentSize().toSize(), size);
            QCOMPARE(image->size(), size);
            const QImage shown = imageOf(image);
            QCOMPARE(shown.pixelColor(4, 4), lightGrey);
            QCOMPARE(shown.pixelColor(size.width() - 5, size.height() - 5), lightGrey);
            // The window's name is written in it: not every pixel is grey.
            int other = 0;
            for (int y = 0; y < shown.height(); ++y)
                for (int x = 0; x < shown.width(); ++x)
                    other += shown.pixelColor(x, y) != lightGrey;
            QVERIFY(other > 0);
        }
    }

    void captionsAboveThePictures()
    {
        SolidPictures pictures;
        HelpPtr w = load(pictures.provider());
        const QList<QLabel *> images{w->Image3, w->Image1, w->Image2};
        const QObjectList stacking = w->Picture2->children(); // bottom to top
        int captions = 0;
        for (QLabel *label : w->Picture2->findChildren<QLabel *>(Qt::FindDirectChildrenOnly)) {
            if (images.contains(label))
                continue;
            for (QLabel *image : images) {
                if (!image->geometry().contains(label->geometry().topLeft()))
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

    void captionTextShowsOverAPicture()
    {
        SolidPictures pictures;
        HelpPtr w = load(pictures.provider());
        const QColor red = colourOf(HelpPicture::MainWindow);
        const QImage page = w->Picture2->grab().toImage();

        // Where no caption lies, the picture shows as it is.
        const QPoint bare = w->Image3->geometry().topLeft() + QPoint(380, 200);
        QCOMPARE(w->Picture2->childAt(bare), w->Image3);
        QCOMPARE(page.pixelColor(bare), red);

        // Over the picture, the caption's letters cover some of its pixels, and the
        // picture shows between them.
        const QRect caption = w->Label3->geometry();
        QVERIFY(w->Image3->geometry().contains(caption));
        int letters = 0;
        int picture = 0;
        for (int y = caption.top(); y <= caption.bottom(); ++y) {
            for (int x = caption.left(); x <= caption.right(); ++x) {
                if (page.pixelColor(x, y) == red)
                    ++picture;
                else
                    ++letters;
            }
        }
        QVERIFY(letters > 20);
        QVERIFY(picture > letters);
    }

    void tabOrderAndNames()
    {
        HelpPtr w = load();
        QStringList found;
        for (QWidget *next = w->VScroll1->nextInFocusChain(); next && found.size() < 2;
             next = next->nextInFocusChain()) {
            if (next == w->Picture1 || next == w->Picture2)
                found.append(next->objectName());
            else if (next == w->VScroll1)
                break;
        }
        QCOMPARE(found, (QStringList{u"Picture1"_s, u"Picture2"_s}));
        QVERIFY(w->VScroll1->focusPolicy() & Qt::TabFocus);
        for (QWidget *control : {static_cast<QWidget *>(w->VScroll1),
                                 static_cast<QWidget *>(w->Picture1), w->Picture2})
            QVERIFY2(!control->accessibleName().isEmpty(), qPrintable(control->objectName()));
    }
};

QTEST_MAIN(TestHelpWindow)
#include "test_helpwindow.moc"
