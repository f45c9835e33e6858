#include "mainwindow.h"

#include "memorycaption.h"
#include "platform/toolkit/picturebox.h"
#include "platform/os/processsource.h"
#include "platform/settings/settingstext.h"
#include "platform/toolkit/toolkit.h"
#include "sampling/datawindow.h"
#include "splashwindow.h"
#include "windows/aboutwindow.h"
#include "windows/helpwindow.h"
#include "windows/persistence.h"
#include "windows/preferenceswindow.h"
#include "windows/settingskeys.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QSlider>

namespace plenwick {

using namespace Qt::StringLiterals;

namespace {

// Pixels from a computed value, held within what a widget's geometry can take.
int pixels(double value)
{
    return twipsToPixels(value, 1.0);
}

// Counts the nesting of memory ticks, also when a tick ends early.
class DepthGuard {
public:
    explicit DepthGuard(int &depth) : m_depth(depth) { ++m_depth; }
    ~DepthGuard() { --m_depth; }
    DepthGuard(const DepthGuard &) = delete;
    DepthGuard &operator=(const DepthGuard &) = delete;

private:
    int &m_depth;
};

} // namespace

frmMain::frmMain(Services services)
    : m_services(std::move(services)),
      m_preferences([this] { return new frmPreferences(m_services.settings, *this, this); }),
      m_data([this] { return new frmData(m_services.settings, this); }),
      m_about([this] { return new frmAbout(m_services.shell, this); }),
      m_help([this] { return new frmHelp(m_services.helpPictures, this); }),
      m_splash([this] { return new frmSplash(this); })
{
    setObjectName(u"frmMain"_s);
    setWindowTitle(applicationTitle());
    setWindowIcon(applicationIcon());
    m_geometry = new WindowGeometry(this);

    buildControls();
    buildMenus();

    ChartSources sources;
    sources.totalPhysical = [this] { return scan.totalPhysical; };
    sources.magnification = [this] { return magnification(); };
    m_plotter = std::make_unique<ChartPlotter>(*Picture1, chartControls, chart, sources);
    m_scan = std::make_unique<ProcessScan>(
        scan, chart, m_services.processes, *m_plotter,
        ProcessScan::Hooks{[this]() -> ProcessGrid & { return dataWindow()->grid(); },
                           [this] {
                               showCriticalMessage(this, u"Failed to get process list."_s,
                                                   applicationTitle());
                           }});

    Timer1.setInterval(1000);
    connect(&Timer1, &QTimer::timeout, this, &frmMain::Timer1_Timer);
}

frmMain::~frmMain()
{
    m_ending = true;
    Timer1.stop();
}

void frmMain::buildControls()
{
    const TwipsPerPixel tp = screenTwipsPerPixel();
    auto *client = new QWidget(this);
    client->setObjectName(u"client"_s);
    setCentralWidget(client);

    PicScroll = new QFrame(client);
    PicScroll->setObjectName(u"PicScroll"_s);
    PicScroll->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    PicScroll->setLineWidth(2);
    PicScroll->move(pixels(120 / tp.x), pixels(120 / tp.y));
    PicScroll->setAccessibleName(u"Memory chart"_s);

    // The chart slides inside the viewport's border, clipped by it.
    m_viewport = new QWidget(PicScroll);
    m_viewport->setObjectName(u"PicScrollInside"_s);
    m_viewport->setGeometry(PicScroll->contentsRect());

    Picture1 = new PictureBox(m_viewport);
    Picture1->setObjectName(u"Picture1"_s);
    Picture1->setBackColor(kWhite);
    Picture1->setAccessibleName(u"Memory chart"_s);
    chartControls.attachTo(*Picture1);
    // The slice label template lies out of view above the chart and stands for no slice:
    // hidden, screen readers are not told of it among the slices. Its copies start hidden
    // all the same.
    chartControls.progLabel.find(0)->visible = false;

    HScroll1 = new QScrollBar(Qt::Horizontal, client);
    HScroll1->setObjectName(u"HScroll1"_s);
    HScroll1->setAccessibleName(u"Scroll the chart"_s);
    HScroll1->setRange(0, 0);
    HScroll1->setSingleStep(500);
    HScroll1->setPageStep(1500);
    HScroll1->setGeometry(pixels(120 / tp.x), 0, 100, pixels(255 / tp.y));
    connect(HScroll1, &QScrollBar::valueChanged, this, [this] {
        if (HScroll1->isSliderDown())
            HScroll1_Scroll();
        else
            HScroll1_Change();
    });
    connect(HScroll1, &QScrollBar::sliderReleased, this, &frmMain::HScroll1_Change);

    struct ButtonDesign {
        QPushButton *frmMain::*member;
        const char16_t *name;
        const char16_t *caption;
        void (frmMain::*handler)();
    };
    const ButtonDesign buttons[] = {
        {&frmMain::Command1, u"Command1", u"Refresh", &frmMain::Command1_Click},
        {&frmMain::Command2, u"Command2", u"Close", &frmMain::Command2_Click},
        {&frmMain::cmdGet, u"cmdGet", u"Get Proceses", &frmMain::cmdGet_Click},
        {&frmMain::Command4, u"Command4", u"View Data", &frmMain::Command4_Click},
        {&frmMain::Command5, u"Command5", u"Preferences", &frmMain::Command5_Click},
        {&frmMain::Command6, u"Command6", u"Help", &frmMain::Command6_Click},
    };
    for (const ButtonDesign &design : buttons) {
        auto *button = new QPushButton(QString::fromUtf16(design.caption), client);
        button->setObjectName(QString::fromUtf16(design.name));
        button->resize(pixels(1215 / tp.x), pixels(375 / tp.y));
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, design.handler);
        this->*design.member = button;
    }
    // Keyboard order: Get Proceses, Close, Refresh, View Data, Preferences, Help.
    setTabOrder(cmdGet, Command2);
    setTabOrder(Command2, Command1);
    setTabOrder(Command1, Command4);
    setTabOrder(Command4, Command5);
    setTabOrder(Command5, Command6);
}

void frmMain::buildMenus()
{
    QMenu *file = menuBar()->addMenu(u"File"_s);
    file->setObjectName(u"mnuFileTop"_s);
    mnuExit = file->addAction(u"E&xit"_s, this, &frmMain::mnuExit_Click);
    mnuExit->setObjectName(u"mnuExit"_s);
    mnuExit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));

    QMenu *view = menuBar()->addMenu(u"View"_s);
    view->setObjectName(u"mnuViewTop"_s);
    mnuPreferences = view->addAction(u"Preferences..."_s, this, &frmMain::mnuPreferences_Click);
    mnuPreferences->setObjectName(u"mnuPreferences"_s);
    mnuViewData = view->addAction(u"View Data..."_s, this, &frmMain::mnuViewData_Click);
    mnuViewData->setObjectName(u"mnuViewData"_s);
    mnuRefresh = view->addAction(u"Refresh"_s, this, &frmMain::mnuRefresh_Click);
    mnuRefresh->setObjectName(u"mnuRefresh"_s);
    mnuRefresh->setShortcut(QKeySequence(Qt::Key_F5));
    view->addSeparator()->setObjectName(u"mnuSeparator"_s);
    m_magnificationMenu = view->addMenu(u"Magnification"_s);
    m_magnificationMenu->setObjectName(u"mnuMagnification"_s);
    QAction **items[] = {&mnu1x, &mnu2x, &mnu3x, &mnu4x};
    for (int n = 1; n <= 4; ++n) {
        QAction *item = m_magnificationMenu->addAction(QString::number(n * 100) + u"% Zoom"_s);
        item->setObjectName(u"mnu"_s + QString::number(n) + u"x"_s);
        item->setCheckable(true);
        connect(item, &QAction::triggered, this, [this, n] { mnuMagnification_Click(n); });
        *items[n - 1] = item;
    }

    QMenu *about = menuBar()->addMenu(u"About"_s);
    about->setObjectName(u"mnuAboutTop"_s);
    mnuAbout = about->addAction(u"About"_s, this, &frmMain::mnuAbout_Click);
    mnuAbout->setObjectName(u"mnuAbout"_s);
    mnuHelp = about->addAction(u"Help"_s, this, &frmMain::mnuHelp_Click);
    mnuHelp->setObjectName(u"mnuHelp"_s);
    mnuHelp->setShortcut(QKeySequence(Qt::Key_F1));
}

// ---- Start-up and end ---------------------------------------------------------

void frmMain::formLoad()
{
    // 1, 2. Hidden while the splash shows.
    hide();
    if (m_services.withSplash)
        m_splash.get()->formLoad();

    // 3.
    chart.labelTop = 5;
    chart.sliceCount = 0;

    // 4. The first memory tick; it loads the preferences window, which applies the
    // stored refresh settings.
    Timer1_Timer();
    if (m_ending)
        return;

    // 5. Magnification.
    const int stored = readInteger(m_services.settings, keys::Preferences, keys::Zoom, 1);
    preferences()->setMagnification(std::clamp(stored, 1, 4));
    checkMagnificationItem(preferences()->magnification());

    // 6. Position and size.
    restoreGeometry();
}

void frmMain::restoreGeometry()
{
    const SettingsStore &store = m_services.settings;
    double left = readSingle(store, keys::MainForm, keys::Left, 100);
    double top = readSingle(store, keys::MainForm, keys::Top, 50);
    double height = readSingle(store, keys::MainForm, keys::Height, 6400);
    double width = readSingle(store, keys::MainForm, keys::Width, 8200);

    // A rectangle that lies entirely off every screen (a monitor since removed, a
    // hand-edited file) would open the window out of reach: use the defaults then.
    const TwipsPerPixel tp = screenTwipsPerPixel();
    const QRect wanted(pixels(left / tp.x), pixels(top / tp.y), std::max(1, pixels(width / tp.x)),
                       std::max(1, pixels(height / tp.y)));
    bool reachable = QGuiApplication::screens().isEmpty();
    for (const QScreen *screen : QGuiApplication::screens())
        reachable = reachable || screen->availableGeometry().intersects(wanted);
    if (!reachable || width <= 0 || height <= 0) {
        left = 100;
        top = 50;
        height = 6400;
        width = 8200;
    }
    setFormLeft(left);
    setFormTop(top);
    setFormHeight(height);
    setFormWidth(width);
}

void frmMain::setFormLeft(double twips)
{
    m_geometry->setLeft(twips);
}

void frmMain::setFormTop(double twips)
{
    m_geometry->setTop(twips);
}

void frmMain::setFormWidth(double twips)
{
    const QSize before = size();
    m_geometry->setWidth(twips);
    // A shown window hears of its new size at once; a hidden one only when shown,
    // so its layout runs here.
    if (!isVisible() && size() != before)
        Form_Resize();
}

void frmMain::setFormHeight(double twips)
{
    const QSize before = size();
    m_geometry->setHeight(twips);
    if (!isVisible() && size() != before)
        Form_Resize();
}

void frmMain::closeEvent(QCloseEvent *event)
{
    Form_QueryUnload();
    event->accept();
    QMainWindow::closeEvent(event);
    endProgram();
}

void frmMain::Form_QueryUnload()
{
    if (m_queryUnloadDone)
        return;
    m_queryUnloadDone = true;

    // 1. Window positions, while the windows still stand as the user left them.
    frmData *dataForm = m_data.loaded();
    frmAbout *about = m_about.loaded();
    frmPreferences *prefs = m_preferences.loaded();
    const WindowPlacement placements[] = {
        {keys::MainForm, this, m_geometry, true},
        {keys::DataForm, dataForm, dataForm ? &dataForm->geometryTwips() : nullptr, true},
        {keys::AboutForm, about, about ? &about->geometryTwips() : nullptr, false},
        {keys::PreferencesForm, prefs, prefs ? &prefs->geometryTwips() : nullptr, false},
    };
    saveWindowPositions(m_services.settings, placements);

    // 2. Preferences, as the preferences window holds them (loading it if the user
    // closed it: it then holds what its own close stored).
    PreferencesValues values = preferences()->values();
    frmAbout *aboutNow = m_about.loaded();
    values.activeHyperlink = aboutNow && aboutNow->isVisible() && aboutNow->hyperlinksActive();
    savePreferences(m_services.settings, values);
}

void frmMain::endProgram()
{
    if (m_ending)
        return;
    m_ending = true;
    Timer1.stop();
    // Every other window goes with the main window, without its own close handling.
    for (QWidget *w :
         std::initializer_list<QWidget *>{m_preferences.loaded(), m_data.loaded(), m_about.loaded(),
                                          m_help.loaded(), m_splash.loaded()})
        if (w)
            w->hide();
    emit unloaded();
    QCoreApplication::quit();
}

// ---- Commands ---------------------------------------------------------------

void frmMain::Command1_Click()
{
    scan.processSize = 0;
    scan.plotPosition = 0;
    chart.labelTop = 0;
    chart.sliceCount = 0;
    cmdGet_Click();
}

void frmMain::mnuRefresh_Click()
{
    Command1_Click();
}

void frmMain::cmdGet_Click()
{
    if (m_ending)
        return;
    m_scan->cmdGet_Click();
}

void frmMain::Command2_Click()
{
    // Closing runs the close request (saving once), then ends the program.
    if (!m_queryUnloadDone)
        close();
    else
        endProgram();
}

void frmMain::mnuExit_Click()
{
    Command2_Click();
}

void frmMain::Command4_Click()
{
    dataWindow()->show();
}

void frmMain::Command5_Click()
{
    preferences()->show();
}

void frmMain::Command6_Click()
{
    aboutWindow()->show();
}

namespace {
void bringUp(QWidget *window)
{
    window->hide();
    window->show();
    window->raise();
    window->activateWindow();
}
} // namespace

void frmMain::mnuPreferences_Click()
{
    bringUp(preferences());
}

void frmMain::mnuViewData_Click()
{
    bringUp(dataWindow());
}

void frmMain::mnuAbout_Click()
{
    bringUp(aboutWindow());
}

void frmMain::mnuHelp_Click()
{
    bringUp(helpWindow());
}

void frmMain::mnuMagnification_Click(int n)
{
    preferences()->setMagnification(n); // a different value re-lays out the chart
    checkMagnificationItem(n);
}

void frmMain::checkMagnificationItem(int n)
{
    if (n < 1 || n > 4)
        return;
    mnu1x->setChecked(n == 1);
    mnu2x->setChecked(n == 2);
    mnu3x->setChecked(n == 3);
    mnu4x->setChecked(n == 4);
}

int frmMain::magnification()
{
    return preferences()->magnification();
}

// ---- Refresh cycle ------------------------------------------------------------

void frmMain::Timer1_Timer()
{
    if (m_ending)
        return;
    QPointer<frmMain> self(this);
    DepthGuard depth(m_tickDepth);

    // 1. Light the refresh lamp (loading the preferences window if need be).
    preferences()->lightIndicator();

    // 2. Let pending events run once. Only the outermost tick yields: a tick that
    // runs inside another's yield goes straight on.
    if (m_tickDepth == 1 && m_services.yieldOnTick) {
        yieldToEvents();
        if (!self || m_ending)
            return; // the program was ended meanwhile
    }

    // 3. The memory status; a failed read keeps the last values.
    ByteCount total = scan.totalPhysical;
    ByteCount available = scan.availablePhysical;
    if (const auto status = m_services.processes.memoryStatus()) {
        total = status->totalPhysical;
        available = status->availablePhysical;
    }

    // 4, 5. The data window's figures.
    frmData *dataForm = dataWindow();
    dataForm->Label1->setText(memoryCaption(total));
    dataForm->Label2->setText(memoryCaption(available));

    // 6, 7.
    scan.availablePhysical = available;
    scan.totalPhysical = total;
    Command1_Click();
}

void frmMain::timerTrigger()
{
    Timer1_Timer();
}

void frmMain::forceResize()
{
    Form_Resize();
}

void frmMain::setTimerInterval(std::int64_t milliseconds)
{
    if (milliseconds <= 0) {
        Timer1.stop();
        Timer1.setInterval(0);
        return;
    }
    Timer1.start(static_cast<int>(std::min<std::int64_t>(milliseconds, INT_MAX)));
}

std::int64_t frmMain::timerInterval() const
{
    return Timer1.isActive() ? Timer1.interval() : 0;
}

// ---- Layout and scrolling -------------------------------------------------------

int frmMain::scaleHeight() const
{
    // The inner area lies below the menu bar. Work it out from the window's size, so
    // that it is right also while the window is hidden and its layout has not run.
    int menu = menuBar()->heightForWidth(width());
    if (menu < 0)
        menu = menuBar()->sizeHint().height();
    if (windowState() & Qt::WindowMinimized)
        return 0;
    return std::max(0, height() - menu);
}

void frmMain::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

void frmMain::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    // A window brought back from the minimized state has kept its size, so no resize
    // event tells of it; it is laid out as after any other size change.
    if (event->type() == QEvent::WindowStateChange && isVisible()) {
        const auto *change = static_cast<QWindowStateChangeEvent *>(event);
        if ((change->oldState() & Qt::WindowMinimized) && !(windowState() & Qt::WindowMinimized))
            Form_Resize();
    }
}

void frmMain::Form_Resize()
{
    if (m_ending)
        return;
    const TwipsPerPixel tp = screenTwipsPerPixel();
    MainLayoutInput in;
    in.outerWidthTwips = m_geometry->width();
    in.outerHeightTwips = m_geometry->height();
    in.twips = tp;
    in.scaleHeight = scaleHeight();
    in.magnification = magnification();
    in.viewportBorder = PicScroll->frameWidth();

    // 1. Not below 68 pixels of inner height (a minimized window has none).
    const MainLayout layout = computeMainLayout(in);
    if (!layout.runs)
        return;
    m_layout = layout;

    // 2-6. Viewport and chart picture, erased.
    PicScroll->resize(layout.picScrollWidthPx, layout.picScrollHeightPx);
    m_viewport->setGeometry(PicScroll->contentsRect());
    Picture1->resize(layout.picture1WidthPx, layout.picture1HeightPx);
    Picture1->cls();

    // 7, 8. Scroll bar under the viewport.
    HScroll1->setVisible(layout.scrollVisible);
    HScroll1->setGeometry(pixels(layout.scrollLeft), pixels(layout.scrollTop),
                          pixels(layout.scrollWidth), HScroll1->height());

    // 9. Buttons.
    QPushButton *buttons[] = {Command1, Command2, cmdGet, Command4, Command5, Command6};
    for (std::size_t i = 0; i < 6; ++i)
        buttons[i]->move(pixels(layout.buttonLeft[i]), pixels(layout.buttonTop));

    // 10. Bar outline.
    for (int i = 0; i < 9; ++i) {
        if (LineControl *edge = chartControls.barOutline.find(i)) {
            const LinePoints &p = layout.barOutline[static_cast<std::size_t>(i)];
            edge->x1 = p.x1;
            edge->y1 = p.y1;
            edge->x2 = p.x2;
            edge->y2 = p.y2;
        }
    }

    // 11. The scale under the bar.
    const LinePoints &front = layout.barOutline[0];
    const auto totalMb = static_cast<float>(static_cast<double>(scan.totalPhysical) / 1048576.0);
    if (const auto major = ChartPlotter::majorStepFor(totalMb, in.magnification))
        m_plotter->graduate(front.x1, front.y1 + 6, front.x2, front.y2 + 6, 0, totalMb, 4, *major);

    // 12. Back to the left end (a scrolled chart re-plots from the change here).
    setPicture1Left(0);
    HScroll1->setValue(0);

    // 13. The scroll range reaches the chart's right end.
    HScroll1->setMaximum(layout.scrollMax);

    // 14. Re-plot.
    mnuRefresh_Click();
    Picture1->update();
}

void frmMain::setPicture1Left(double twips)
{
    m_picture1Left = twips;
    const TwipsPerPixel tp = screenTwipsPerPixel();
    Picture1->move(pixels(twips / tp.x), 0);
}

void frmMain::HScroll1_Change()
{
    setPicture1Left(-HScroll1->value());
    mnuRefresh_Click();
}

void frmMain::HScroll1_Scroll()
{
    HScroll1_Change();
}

} // namespace plenwick
