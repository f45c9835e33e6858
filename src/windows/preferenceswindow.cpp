#include "preferenceswindow.h"

#include "mainwindowlink.h"
#include "platform/settings/settingsstore.h"
#include "platform/settings/settingstext.h"
#include "platform/toolkit/toolkit.h"
#include "platform/toolkit/twips.h"
#include "platform/toolkit/windowgeometry.h"
#include "refreshinterval.h"
#include "settingskeys.h"

#include <algorithm>
#include <cmath>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QRadioButton>
#include <QSlider>
#include <QTimer>
#include <tuple>

namespace plenwick {

using namespace Qt::StringLiterals;

namespace {

// The window's client area, in twips.
constexpr double kClientWidth = 2895;
constexpr double kClientHeight = 3015;

constexpr VbColor kLampLit = 255; // bright red
constexpr VbColor kLampDim = 128; // dark red
constexpr int kLampMilliseconds = 500;

constexpr int kMillisecondsPerSecond = 1000;
constexpr int kMillisecondsPerMinute = 60 * 1000;

QLabel *makeLabel(QWidget *parent, const QString &name, const QString &text)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->setAccessibleName(text);
    return label;
}

QRadioButton *makeOption(QWidget *parent, const QString &name, const QString &text,
                         const QString &accessibleName)
{
    auto *button = new QRadioButton(text, parent);
    button->setObjectName(name);
    button->setAccessibleName(accessibleName);
    return button;
}

// The interval text stored under `key`. A text that reads as no number (a hand-edited
// store) counts as absent: the box gets the key's default, not the "1" that selecting
// its option has just put there, which would scan at the heaviest rate. An empty text
// was stored by a user who emptied the box, and stays empty.
QString storedInterval(const SettingsStore &store, const QString &key, const QString &fallback)
{
    const QString text = readText(store, keys::Preferences, key, fallback);
    if (text.isEmpty() || refreshIntervalMilliseconds(text, kMillisecondsPerSecond))
        return text;
    return fallback;
}

QLineEdit *makeBox(QWidget *parent, const QString &name, const QString &accessibleName)
{
    auto *box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setAccessibleName(accessibleName);
    return box;
}

} // namespace

frmPreferences::frmPreferences(SettingsStore &store, MainWindowLink &main, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      m_store(store), m_main(main), m_geometry(new WindowGeometry(this))
{
    makeToolWindow(this);
    setObjectName(u"frmPreferences"_s);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(u"Preferences"_s);
    setWindowIcon(applicationIcon());
    const TwipsPerPixel f = screenTwipsPerPixel();
    setFixedSize(twipsToPixels(kClientWidth, f.x), twipsToPixels(kClientHeight, f.y));
    // The controls sit close below the top edge of their frame: the frame's line runs
    // through the middle of its caption, and the "Every" buttons leave room for the box
    // that follows their text.
    setStyleSheet(u"QGroupBox { border: 1px solid palette(mid); border-radius: 2px;"
                  " margin-top: 0.5em; }"
                  " QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
                  " left: 6px; padding: 0px 2px; }"
                  " QRadioButton { spacing: 2px; }"_s);

    // Zoom factor.
    Frame1 = new QGroupBox(u"Zoom Factor"_s, this);
    Frame1->setObjectName(u"Frame1"_s);
    Frame1->setAccessibleName(u"Zoom Factor"_s);
    Frame1->setGeometry(twipsToPixels(120, 0, 2655, 1095));

    sliZoom = new QSlider(Qt::Horizontal, Frame1);
    sliZoom->setObjectName(u"sliZoom"_s);
    sliZoom->setAccessibleName(u"Magnification"_s);
    sliZoom->setRange(1, 4);
    sliZoom->setSingleStep(1);
    sliZoom->setPageStep(1);
    sliZoom->setTickInterval(1);
    sliZoom->setTickPosition(QSlider::TicksBelow);
    sliZoom->setValue(1);
    sliZoom->setGeometry(twipsToPixels(120, 400, 2295, 495));

    lblZoom = makeLabel(Frame1, u"lblZoom"_s, u"Magnification 1x"_s);
    lblZoom->setAlignment(Qt::AlignCenter);
    lblZoom->setGeometry(twipsToPixels(720, 200, 1185, 195));
    m_zoomLabelCentre = lblZoom->geometry().center().x();
    fitZoomLabel();

    // Refresh rate.
    Frame2 = new QGroupBox(u"Refresh Rate"_s, this);
    Frame2->setObjectName(u"Frame2"_s);
    Frame2->setAccessibleName(u"Refresh Rate"_s);
    Frame2->setGeometry(twipsToPixels(120, 1200, 2655, 1695));

    optRefresh1 = makeOption(Frame2, u"optRefresh1"_s, u"Disabled"_s, u"Refresh disabled"_s);
    optRefresh1->setGeometry(twipsToPixels(360, 360, 1575, 255));
    optRefresh2 = makeOption(Frame2, u"optRefresh2"_s, u"Every"_s, u"Refresh every n seconds"_s);
    optRefresh2->setGeometry(twipsToPixels(360, 720, 735, 255));
    txtRefresh1 = makeBox(Frame2, u"txtRefresh1"_s, u"Seconds between refreshes"_s);
    txtRefresh1->setGeometry(twipsToPixels(1080, 670, 375, 285));
    Label2 = makeLabel(Frame2, u"Label2"_s, u"Seconds"_s);
    Label2->setGeometry(twipsToPixels(1500, 750, 735, 255));
    optRefresh3 = makeOption(Frame2, u"optRefresh3"_s, u"Every"_s, u"Refresh every n minutes"_s);
    optRefresh3->setGeometry(twipsToPixels(360, 1080, 735, 255));
    txtRefresh2 = makeBox(Frame2, u"txtRefresh2"_s, u"Minutes between refreshes"_s);
    txtRefresh2->setGeometry(twipsToPixels(1080, 1030, 375, 285));
    Label1 = makeLabel(Frame2, u"Label1"_s, u"Minutes"_s);
    Label1->setGeometry(twipsToPixels(1500, 1110, 735, 255));
    // A style whose indicator and spacing are wider than the ones the rows were laid out
    // for widens the "Every" buttons to their text, and moves their box and unit along.
    for (auto [button, box, unit] : {std::tuple{optRefresh2, txtRefresh1, Label2},
                                     std::tuple{optRefresh3, txtRefresh2, Label1}}) {
        const int needed = button->sizeHint().width();
        if (needed <= button->width())
            continue;
        const int shift = std::max(0, button->x() + needed - box->x());
        button->resize(needed, button->height());
        box->move(box->x() + shift, box->y());
        unit->move(unit->x() + shift, unit->y());
    }

    m_options = new QButtonGroup(this);
    m_options->setExclusive(true);
    m_options->addButton(optRefresh1, 1);
    m_options->addButton(optRefresh2, 2);
    m_options->addButton(optRefresh3, 3);
    optRefresh1->setChecked(true);

    // The refresh lamp.
    Shape1 = new LampWidget(Frame2);
    Shape1->setObjectName(u"Shape1"_s);
    Shape1->setAccessibleName(u"Refresh lamp"_s);
    Shape1->setGeometry(twipsToPixels(2040, 360, 135, 135));

    Label3 = makeLabel(Frame2, u"Label3"_s, u"Refresh"_s);
    QFont smallFont(u"Arial"_s);
    smallFont.setPointSizeF(6.75);
    Label3->setFont(smallFont);
    Label3->move(twipsToPixels(1860, 200, 0, 0).topLeft());
    Label3->adjustSize();
    showLamp(true);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(u"Timer1"_s);
    Timer1->setInterval(kLampMilliseconds);
    connect(Timer1, &QTimer::timeout, this, &frmPreferences::Timer1_Timer);
    Timer1->start();

    // Keyboard order of the controls that take the focus.
    QWidget::setTabOrder(sliZoom, txtRefresh2);
    QWidget::setTabOrder(txtRefresh2, txtRefresh1);
    QWidget::setTabOrder(txtRefresh1, optRefresh3);
    QWidget::setTabOrder(optRefresh3, optRefresh2);
    QWidget::setTabOrder(optRefresh2, optRefresh1);

    // The slider's value changes by code, keys and clicks (Change) and while its thumb is
    // dragged (Scroll, which runs Change itself): one magnification update per step.
    connect(sliZoom, &QSlider::valueChanged, this, [this] {
        if (sliZoom->isSliderDown())
            sliZoom_Scroll();
        else
            sliZoom_Change();
    });
    // A user's selection runs the Click handler; selections from code go through
    // setOptionValue, which runs it itself.
    for (int which = 1; which <= 3; ++which) {
        connect(option(which), &QRadioButton::toggled, this, [this, which](bool on) {
            if (on && m_optionsSetByCode == 0)
                runOptionClick(which);
        });
    }
    connect(txtRefresh1, &QLineEdit::textChanged, this, &frmPreferences::txtRefresh1_Change);
    connect(txtRefresh2, &QLineEdit::textChanged, this, &frmPreferences::txtRefresh2_Change);
}

frmPreferences::~frmPreferences() = default;

void frmPreferences::formLoad()
{
    QPointer<frmPreferences> self(this);

    // Centred across, a little above the middle; the stored position is never used.
    const double outerWidth = m_geometry->width();
    const double outerHeight = m_geometry->height();
    m_geometry->setTop((screenHeightTwips() / 2 - outerHeight / 2) * 0.8);
    m_geometry->setLeft(screenWidthTwips() / 2 - outerWidth / 2);

    const int zoom = readInteger(m_store, keys::Preferences, keys::Zoom, 1);
    sliZoom->setValue(std::clamp(zoom, sliZoom->minimum(), sliZoom->maximum()));
    if (!self)
        return;

    setOptionValue(1, readTruth(m_store, keys::Preferences, keys::OptRefresh1, false));
    if (!self)
        return;
    setOptionValue(2, readTruth(m_store, keys::Preferences, keys::OptRefresh2, true));
    if (!self)
        return;
    setOptionValue(3, readTruth(m_store, keys::Preferences, keys::OptRefresh3, false));
    if (!self)
        return;

    txtRefresh1->setText(storedInterval(m_store, keys::RefreshInterval1, u"5"_s));
    if (!self)
        return;
    txtRefresh2->setText(storedInterval(m_store, keys::RefreshInterval2, u"1"_s));
}

void frmPreferences::formQueryUnload()
{
    const SettingsStore::Batch save(m_store);
    writeInteger(m_store, keys::Preferences, keys::Zoom, sliZoom->value());
    writeTruth(m_store, keys::Preferences, keys::OptRefresh1, optRefresh1->isChecked());
    writeTruth(m_store, keys::Preferences, keys::OptRefresh2, optRefresh2->isChecked());
    writeTruth(m_store, keys::Preferences, keys::OptRefresh3, optRefresh3->isChecked());
    m_store.setValue(keys::Preferences, keys::RefreshInterval1, txtRefresh1->text());
    m_store.setValue(keys::Preferences, keys::RefreshInterval2, txtRefresh2->text());

    if (canPlaceWindows()) {
        writeSingle(m_store, keys::PreferencesForm, keys::Left,
                    static_cast<float>(m_geometry->left()));
        writeSingle(m_store, keys::PreferencesForm, keys::Top,
                    static_cast<float>(m_geometry->top()));
    }

    const int zoom = sliZoom->value();
    if (zoom >= 1 && zoom <= 4)
        m_main.checkMagnificationItem(zoom);
}

void frmPreferences::closeEvent(QCloseEvent *event)
{
    event->accept();
    if (m_unloaded)
        return;
    formQueryUnload();
    m_unloaded = true;
    Timer1->stop();
    emit unloaded();
}

void frmPreferences::keyPressEvent(QKeyEvent *event)
{
    // Escape is the close box's key: the same close, with its saving.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier)
        close();
    else
        QWidget::keyPressEvent(event);
}

void frmPreferences::sliZoom_Change()
{
    const QString caption = u"Magnification %1x"_s.arg(sliZoom->value());
    lblZoom->setText(caption);
    lblZoom->setAccessibleName(caption);
    fitZoomLabel();
    m_main.forceResize();
}

void frmPreferences::sliZoom_Scroll()
{
    sliZoom_Change();
}

void frmPreferences::optRefresh1_Click()
{
    m_main.setTimerInterval(0);
    m_main.timerTrigger();
}

void frmPreferences::optRefresh2_Click()
{
    applyRefreshRow(txtRefresh1, kMillisecondsPerSecond);
}

void frmPreferences::optRefresh3_Click()
{
    applyRefreshRow(txtRefresh2, kMillisecondsPerMinute);
}

void frmPreferences::applyRefreshRow(QLineEdit *box, int unitMilliseconds)
{
    QPointer<frmPreferences> self(this);
    if (box->text().isEmpty()) {
        // The box's Change handler runs this row's Click handler again, to its end.
        box->setText(u"1"_s);
        if (!self)
            return;
    }
    // Text that is no usable number leaves the interval in force, and runs no tick.
    const std::optional<std::int64_t> interval =
        refreshIntervalMilliseconds(box->text(), unitMilliseconds);
    if (!interval)
        return;
    m_main.setTimerInterval(*interval);
    m_main.timerTrigger();
}

void frmPreferences::txtRefresh1_Change()
{
    if (optRefresh2->isChecked())
        optRefresh2_Click();
}

void frmPreferences::txtRefresh2_Change()
{
    if (optRefresh3->isChecked())
        optRefresh3_Click();
}

void frmPreferences::Timer1_Timer()
{
    showLamp(false);
    Timer1->stop();
}

void frmPreferences::lightIndicator()
{
    showLamp(true);
    // Started afresh, so the lamp stays lit for the whole half second after each tick.
    Timer1->start();
}

void frmPreferences::showLamp(bool lit)
{
    Shape1->setFillColor(lit ? kLampLit : kLampDim);
    // A screen reader cannot see the colour: the lamp says whether it is lit.
    Shape1->setAccessibleDescription(lit ? u"lit"_s : u"dim"_s);
    Label3->setEnabled(lit);
}

void frmPreferences::setOptionValue(int which, bool value)
{
    QRadioButton *button = option(which);
    if (!button)
        return;
    ++m_optionsSetByCode;
    if (value) {
        button->setChecked(true);
    } else if (button->isChecked()) {
        // An exclusive group keeps its selected button: let go of it for a moment.
        m_options->setExclusive(false);
        button->setChecked(false);
        m_options->setExclusive(true);
    }
    --m_optionsSetByCode;
    if (value)
        runOptionClick(which);
}

void frmPreferences::runOptionClick(int which)
{
    switch (which) {
    case 1:
        optRefresh1_Click();
        break;
    case 2:
        optRefresh2_Click();
        break;
    case 3:
        optRefresh3_Click();
        break;
    default:
        break;
    }
}

QRadioButton *frmPreferences::option(int which) const
{
    switch (which) {
    case 1:
        return optRefresh1;
    case 2:
        return optRefresh2;
    case 3:
        return optRefresh3;
    default:
        return nullptr;
    }
}

void frmPreferences::fitZoomLabel()
{
    // Sized to its text, about the same centre as in the design.
    const QRect place = lblZoom->geometry();
    const QSize hint = lblZoom->sizeHint();
    const int width = std::max(place.width(), hint.width());
    const int height = std::max(place.height(), hint.height());
    lblZoom->setGeometry(m_zoomLabelCentre - width / 2, place.top(), width, height);
}

int frmPreferences::magnification() const
{
    return sliZoom->value();
}

void frmPreferences::setMagnification(int n)
{
    sliZoom->setValue(n);
}

PreferencesValues frmPreferences::values() const
{
    PreferencesValues v;
    v.zoom = sliZoom->value();
    v.optRefresh1 = optRefresh1->isChecked();
    v.optRefresh2 = optRefresh2->isChecked();
    v.optRefresh3 = optRefresh3->isChecked();
    v.refreshInterval1 = txtRefresh1->text();
    v.refreshInterval2 = txtRefresh2->text();
    v.activeHyperlink = false;
    return v;
}

} // namespace plenwick
