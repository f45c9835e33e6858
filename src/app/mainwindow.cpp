#include "mainwindow.h"

#include "platform/os/processsource.h"
#include "platform/settings/settingstext.h"
#include "platform/toolkit/picturebox.h"
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
#include <QDir>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
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
      m_data([this] {
          auto *window = new frmData(m_services.settings, this);
          // Made again after the user closed it, it shows the last figures read at once
          // rather than its design captions until the next tick.
          if (m_memoryRead)
              window->setMemoryFigures(m_totalPhysical, m_availablePhysical);
          return window;
      }),
      m_about([this] { return new frmAbout(m_services.shell, this); }), m_help([this] {
          auto *window = new frmHelp(m_services.helpPictures, this);
          makeToolWindow(window);
          return window;
      }),
      m_splash([this] { return new frmSplash(this); })
{
    setObjectName(u"frmMain"_s);
    setWindowTitle(applicationTitle());
    setWindowIcon(applicationIcon());
    m_geometry = new WindowGeometry(this);

    buildControls();
    buildMenus();

    m_plotter = std::make_unique<ChartPlotter>(*Picture1, chartControls);
    m_scan = std::make_unique<ProcessScan>(m_services.processes);

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
    // Keyboard users reach the scroll bar after the buttons; its arrow, page, Home and
    // End keys move the chart like the mouse does.
    HScroll1->setFocusPolicy(Qt::StrongFocus);
    HScroll1->installEventFilter(this);
    // The wheel anywhere over the chart scrolls it sideways.
    PicScroll->installEventFilter(this);
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
    setTabOrder(Command6, HScroll1);
    // The keyboard starts at the first of them (see showEvent for its mark).
    cmdGet->setFocus();
}

bool frmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == PicScroll && event->type() == QEvent::Wheel && HScroll1->isVisible()) {
        QCoreApplication::sendEvent(HScroll1, event);
        return true;
    }
    // Qt's horizontal scroll bar takes Right for a step back and Left for a step on;
    // the chart's moves the way the arrow points.
    if (watched == HScroll1 && event->type() == QEvent::KeyPress) {
        using Slider = QAbstractSlider;
        static const QHash<int, Slider::SliderAction> actions = {
            {Qt::Key_Left, Slider::SliderSingleStepSub},
            {Qt::Key_Up, Slider::SliderSingleStepSub},
            {Qt::Key_Right, Slider::SliderSingleStepAdd},
            {Qt::Key_Down, Slider::SliderSingleStepAdd},
            {Qt::Key_PageUp, Slider::SliderPageStepSub},
            {Qt::Key_PageDown, Slider::SliderPageStepAdd},
            {Qt::Key_Home, Slider::SliderToMinimum},
            {Qt::Key_End, Slider::SliderToMaximum}};
        const auto *key = static_cast<QKeyEvent *>(event);
        if (const auto action = actions.find(key->key()); action != actions.end()) {
            HScroll1->triggerAction(*action);
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// The menus' shortcuts belong to the main window. Qt also offers them to the tool
// windows that belong to it, where Ctrl+X would end the program from the data window;
// there they do nothing.
void frmMain::connectMenuItem(QAction *item, void (frmMain::*handler)())
{
    connect(item, &QAction::triggered, this, [this, handler] {
        const QWidget *active = QApplication::activeWindow();
        if (active && active != this)
            return;
        (this->*handler)();
    });
}

void frmMain::buildMenus()
{
    QMenu *file = menuBar()->addMenu(u"&File"_s);
    file->setObjectName(u"mnuFileTop"_s);
    mnuExit = file->addAction(u"E&xit"_s);
    connectMenuItem(mnuExit, &frmMain::mnuExit_Click);
    mnuExit->setObjectName(u"mnuExit"_s);
    mnuExit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));

    QMenu *view = menuBar()->addMenu(u"&View"_s);
    view->setObjectName(u"mnuViewTop"_s);
    mnuPreferences = view->addAction(u"Preferences..."_s);
    connectMenuItem(mnuPreferences, &frmMain::mnuPreferences_Click);
    mnuPreferences->setObjectName(u"mnuPreferences"_s);
    mnuViewData = view->addAction(u"View Data..."_s);
    connectMenuItem(mnuViewData, &frmMain::mnuViewData_Click);
    mnuViewData->setObjectName(u"mnuViewData"_s);
    mnuRefresh = view->addAction(u"Refresh"_s);
    connectMenuItem(mnuRefresh, &frmMain::mnuRefresh_Click);
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

    QMenu *about = menuBar()->addMenu(u"&About"_s);
    about->setObjectName(u"mnuAboutTop"_s);
    mnuAbout = about->addAction(u"About"_s);
    connectMenuItem(mnuAbout, &frmMain::mnuAbout_Click);
    mnuAbout->setObjectName(u"mnuAbout"_s);
    mnuHelp = about->addAction(u"Help"_s);
    connectMenuItem(mnuHelp, &frmMain::mnuHelp_Click);
    mnuHelp->setObjectName(u"mnuHelp"_s);
    mnuHelp->setShortcut(QKeySequence(Qt::Key_F1));
}

// ---- Start-up and end ---------------------------------------------------------

void frmMain::formLoad()
{
    // The memory tick's timer runs from the start, every second until the stored
    // refresh settings say otherwise; with no refresh option stored it keeps that.
    Timer1.start(1000);

    // Hidden while the splash shows.
    hide();
    if (m_services.withSplash)
        m_splash.get()->formLoad();

    // The first memory tick; it loads the preferences window, which applies the
    // stored refresh settings.
    Timer1_Timer();
    if (m_ending)
        return;

    // The stored magnification, into the slider that holds it and the menu.
    const int stored = readInteger(m_services.settings, keys::Preferences, keys::Zoom, 1);
    preferences()->setMagnification(std::clamp(stored, 1, 4));
    checkMagnificationItem(preferences()->magnification());

    // Position and size; each size change lays the window out.
    restoreGeometry();
}

void frmMain::restoreGeometry()
{
    const SettingsStore &store = m_services.settings;
    QRectF stored(readSingle(store, keys::MainForm, keys::Left, 100),
                  readSingle(store, keys::MainForm, keys::Top, 50),
                  readSingle(store, keys::MainForm, keys::Width, 8200),
                  readSingle(store, keys::MainForm, keys::Height, 6400));
    // A window with no size takes the default place; any other stored rectangle (a
    // monitor since removed, a hand-edited file) is brought onto the screen, no larger
    // than it and not so small that the window cannot be used.
    if (!(stored.width() > 0) || !(stored.height() > 0))
        stored = QRectF(100, 50, 8200, 6400);
    stored = fitStoredRect(stored, QSize(300, 160));
    setFormLeft(stored.left());
    setFormTop(stored.top());
    setFormHeight(stored.height());
    setFormWidth(stored.width());
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

    // Window positions first, while the windows still stand as the user left them; both
    // reach the file in one save.
    std::optional<SettingsStore::Batch> save(std::in_place, m_services.settings);
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

    // Then the preferences, as the preferences window holds them (loading it if the user
    // closed it: it then holds what its own close stored).
    PreferencesValues values = preferences()->values();
    frmAbout *aboutNow = m_about.loaded();
    values.activeHyperlink = aboutNow && aboutNow->isVisible() && aboutNow->hyperlinksActive();
    savePreferences(m_services.settings, values);
    save.reset();

    // Settings that could not be saved are never lost in silence; the program ends all
    // the same once the user has read why.
    if (const auto failure = m_services.settings.takeSaveFailure()) {
        Timer1.stop();
        const QString told = failure->saved ? u"Your settings were saved to %1.\n\n%2"_s
                                            : u"Your settings could not be saved to %1.\n\n%2"_s;
        QMessageBox box(QMessageBox::Warning, applicationTitle(),
                        told.arg(QDir::toNativeSeparators(failure->path), failure->reason),
                        QMessageBox::Ok, this);
        box.setObjectName(u"saveFailure"_s);
        box.setTextFormat(Qt::PlainText);
        box.exec();
    }
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
    const ScanSnapshot snapshot = m_scan->cmdGet_Click(m_totalPhysical, m_availablePhysical);
    dataWindow()->showScan(snapshot);
    m_plotter->plotScan(snapshot, magnification());
    if (snapshot.enumerationFailed)
        reportEnumerationFailure();
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

namespace {
// A shown window is the active one, in front of the others, as it is on the desktops
// the program was first written for; the data window's activation puts it at its
// stored place at once.
void showActive(QWidget *window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

// Hiding first brings a window that is open already to the front again.
void bringUp(QWidget *window)
{
    window->hide();
    showActive(window);
}
} // namespace

void frmMain::Command4_Click()
{
    showActive(dataWindow());
}

void frmMain::Command5_Click()
{
    showActive(preferences());
}

void frmMain::Command6_Click()
{
    showActive(aboutWindow());
}

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

    // Light the refresh lamp (loading the preferences window if need be).
    preferences()->lightIndicator();

    // Let pending events run once. Only the outermost tick yields: a tick that
    // runs inside another's yield goes straight on.
    if (m_tickDepth == 1 && m_services.yieldOnTick) {
        yieldToEvents();
        if (!self || m_ending)
            return; // the program was ended meanwhile
    }

    // The memory status; a failed read keeps the last values.
    ByteCount total = m_totalPhysical;
    ByteCount available = m_availablePhysical;
    if (const auto status = m_services.processes.memoryStatus()) {
        total = status->totalPhysical;
        available = status->availablePhysical;
    }

    // The data window's figures (loading it if need be), then what the next scans use.
    dataWindow()->setMemoryFigures(total, available);
    m_availablePhysical = available;
    m_totalPhysical = total;
    m_memoryRead = true;
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

void frmMain::reportEnumerationFailure()
{
    // A box opened while the main window is still hidden (during start-up) would end up
    // beneath it once it shows, out of sight, while the main window waits for it: it
    // opens once the main window stands on the screen.
    if (isVisible())
        showCriticalMessage(this, u"Failed to get process list."_s, applicationTitle());
    else
        m_enumerationFailurePending = true;
}

void frmMain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    // Showing a window forgets that the keyboard moved the focus, and styles draw the
    // focus mark only for a focus that the keyboard moved: the user sees at once where
    // the keyboard is.
    if (!event->spontaneous())
        setAttribute(Qt::WA_KeyboardFocusChange);
    if (m_enumerationFailurePending) {
        m_enumerationFailurePending = false;
        QTimer::singleShot(0, this, [this] {
            if (!m_ending)
                reportEnumerationFailure();
        });
    }
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

    // Nothing is laid out below 68 pixels of inner height (a minimized window has none).
    const MainLayout layout = computeMainLayout(in);
    if (!layout.runs)
        return;
    m_layout = layout;

    // The viewport fills the window; the chart picture, erased, is as tall as the
    // viewport and as wide as the window times the magnification.
    PicScroll->resize(layout.picScrollWidthPx, layout.picScrollHeightPx);
    m_viewport->setGeometry(PicScroll->contentsRect());
    Picture1->resize(layout.picture1WidthPx, layout.picture1HeightPx);
    Picture1->cls();

    // The scroll bar lies under the viewport, as wide as it.
    HScroll1->setVisible(layout.scrollVisible);
    HScroll1->setGeometry(pixels(layout.scrollLeft), pixels(layout.scrollTop),
                          pixels(layout.scrollWidth), HScroll1->height());

    // The buttons keep their size, 85 pixels apart, 30 pixels above the bottom.
    QPushButton *buttons[] = {Command1, Command2, cmdGet, Command4, Command5, Command6};
    for (std::size_t i = 0; i < 6; ++i)
        buttons[i]->move(pixels(layout.buttonLeft[i]), pixels(layout.buttonTop));

    // The bar's outline, from which the slices and the scale are placed.
    for (int i = 0; i < 9; ++i) {
        if (LineControl *edge = chartControls.barOutline.find(i)) {
            const LinePoints &p = layout.barOutline[static_cast<std::size_t>(i)];
            edge->x1 = p.x1;
            edge->y1 = p.y1;
            edge->x2 = p.x2;
            edge->y2 = p.y2;
        }
    }

    // The scale under the bar.
    const LinePoints &front = layout.barOutline[0];
    const auto totalMb = static_cast<float>(static_cast<double>(m_totalPhysical) / 1048576.0);
    if (const auto major = ChartPlotter::majorStepFor(totalMb, in.magnification))
        m_plotter->Graduate(front.x1, front.y1 + 6, front.x2, front.y2 + 6, 0, totalMb, 4, *major);

    // Back to the left end (a scrolled chart re-plots from the change here).
    setPicture1Left(0);
    HScroll1->setValue(0);

    // The scroll range reaches the chart's right end.
    HScroll1->setMaximum(layout.scrollMax);

    // A fresh scan draws the chart anew on the erased picture, and repaints what changed:
    // the outline and every element the scan moved (a picture of a new size is repainted
    // whole by the toolkit).
    mnuRefresh_Click();
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
