#include "datawindow.h"

#include "memorycaption.h"
#include "platform/settings/settingstext.h"
#include "platform/toolkit/toolkit.h"
#include "platform/toolkit/twips.h"
#include "platform/toolkit/vbcolor.h"
#include "processgridmodel.h"

#include <algorithm>
#include <cmath>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QShortcut>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QWindow>

namespace plenwick {

using namespace Qt::StringLiterals;

namespace {

constexpr VbColor kSilver = 12632256;
constexpr VbColor kDarkGrey = 8421504;
// Where the memory captions end, in twips; their figures start at 2520.
constexpr double kCaptionEdge = 2450;

QFont smallFont(bool bold)
{
    QFont font(u"Sans Serif"_s);
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(8.25);
    font.setBold(bold);
    return font;
}

QLabel *makeLabel(QWidget *parent, const QString &name, const QString &text, bool bold, QRect twips,
                  TwipsPerPixel tp, bool fitText)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setFont(smallFont(bold));
    label->setText(text);
    if (fitText) {
        // Sized to its text, right edge kept where the design puts it.
        label->adjustSize();
        const int right = twipsToPixels(twips.x() + twips.width(), tp.x);
        label->move(right - label->width(), twipsToPixels(twips.y(), tp.y));
    } else {
        label->setGeometry(twipsToPixels(twips.x(), tp.x), twipsToPixels(twips.y(), tp.y),
                           twipsToPixels(twips.width(), tp.x), twipsToPixels(twips.height(), tp.y));
    }
    return label;
}

// The cells in the palette's window colours: the ground in the colour group the style
// draws their text in, so that they read alike whether the window is active or not,
// with silver lines between them. What the view shows below the last row is its own
// ground, dark grey.
class CellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        QPalette::ColorGroup group = QPalette::Disabled;
        if (option.state & QStyle::State_Enabled)
            group = option.state & QStyle::State_Active ? QPalette::Active : QPalette::Inactive;
        painter->fillRect(option.rect, option.palette.brush(group, QPalette::Base));
        QStyledItemDelegate::paint(painter, option, index);
        painter->save();
        painter->setPen(toQColor(kSilver));
        const QRect r = option.rect;
        painter->drawLine(r.topRight(), r.bottomRight());
        painter->drawLine(r.bottomLeft(), r.bottomRight());
        painter->restore();
    }
};

} // namespace

frmData::frmData(SettingsStore &store, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), m_store(store)
{
    makeToolWindow(this);
    setObjectName(u"frmData"_s);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(u"Memory Data"_s);
    setWindowIcon(applicationIcon());
    const TwipsPerPixel tp = screenTwipsPerPixel();
    resize(twipsToPixels(5985, tp.x), twipsToPixels(4830, tp.y));
    m_geometry = new WindowGeometry(this);

    Grid1 = new QTableView(this);
    Grid1->setObjectName(u"Grid1"_s);
    Grid1->setAccessibleName(u"Processes"_s);
    Grid1->setGeometry(twipsToPixels(120, tp.x), twipsToPixels(720, tp.y),
                       twipsToPixels(5775, tp.x), twipsToPixels(3975, tp.y));
    m_model = new ProcessGridModel(m_grid, this);
    Grid1->setModel(m_model);
    connect(m_model, &QAbstractItemModel::headerDataChanged, this, &frmData::fitHeadings);
    // The heading row is the view's own heading, so that it stays in place while the
    // rows scroll and is told to screen readers as the column headings.
    const int rowHeight = QFontMetrics(smallFont(false)).height() + 4;
    QHeaderView *heading = Grid1->horizontalHeader();
    heading->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    heading->setHighlightSections(false);
    heading->setSectionsClickable(false);
    heading->setFixedHeight(rowHeight);
    Grid1->verticalHeader()->hide();
    Grid1->verticalHeader()->setDefaultSectionSize(rowHeight);
    Grid1->setFont(smallFont(false));
    Grid1->setWordWrap(false);
    Grid1->setTextElideMode(Qt::ElideNone);
    Grid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    Grid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid1->setShowGrid(false);
    Grid1->setItemDelegate(new CellDelegate(Grid1));
    QPalette ground = Grid1->viewport()->palette();
    ground.setBrush(QPalette::Base, toQColor(kDarkGrey));
    Grid1->viewport()->setPalette(ground);

    Label2 =
        makeLabel(this, u"Label2"_s, u"Label2"_s, false, QRect(2520, 360, 3255, 255), tp, false);
    Label1 =
        makeLabel(this, u"Label1"_s, u"Label1"_s, false, QRect(2520, 120, 3255, 255), tp, false);
    Label3 = makeLabel(this, u"Label3"_s, u"Total Physical Memory:"_s, true,
                       QRect(470, 120, 1980, 195), tp, true);
    Label4 = makeLabel(this, u"Label4"_s, u"Available Physical Memory:"_s, true,
                       QRect(120, 360, 2325, 195), tp, true);
    // The captions end at one right edge and their figures start just after it. Where
    // this screen's bold face is wider than the one the window was laid out for, the
    // captions are set a little narrower, so that they still fit between the window's
    // margin and that edge; only a face that cannot be narrowed moves the edge, and
    // the figures with it, as far right as needed, so that no caption is cut.
    const int edge = twipsToPixels(kCaptionEdge, tp.x);
    const int room = edge - twipsToPixels(120, tp.x);
    const int widest = std::max(Label3->sizeHint().width(), Label4->sizeHint().width());
    if (widest > room) {
        for (QLabel *label : {Label3, Label4}) {
            QFont narrower = label->font();
            narrower.setStretch(std::max(int(QFont::Condensed), 100 * room / widest));
            label->setFont(narrower);
        }
    }
    for (QLabel *label : {Label3, Label4}) {
        label->adjustSize();
        label->move(edge - label->width(), label->y());
    }
    const int overflow = std::max(0, -std::min(Label3->x(), Label4->x()));
    if (overflow > 0) {
        for (QLabel *label : {Label3, Label4, Label1, Label2})
            label->move(label->x() + overflow, label->y());
    }
    // Screen readers hear the figure as the label's description, after its name.
    Label1->setAccessibleName(u"Total physical memory"_s);
    Label2->setAccessibleName(u"Available physical memory"_s);
    setTabOrder(Grid1, Label2);

    // Escape closes the window as its close box does.
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
            &QWidget::close);

    m_lastFocus = QGuiApplication::focusWindow();
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, &frmData::focusWindowChanged);
}

frmData::~frmData()
{
    // The model leaves the grid when it goes, and the grid, a member, is destroyed
    // before the window's children are: the model must go first.
    delete m_model;
}

void frmData::setMemoryFigures(ByteCount total, ByteCount available)
{
    // A figure wider than the label's design width widens the label: it is never cut.
    const int designWidth = twipsToPixels(3255, screenTwipsPerPixel().x);
    for (auto [label, bytes] : {std::pair{Label1, total}, std::pair{Label2, available}}) {
        const QString caption = memoryCaption(bytes);
        label->setText(caption);
        label->setAccessibleDescription(caption);
        label->resize(std::max(designWidth, label->sizeHint().width()), label->height());
    }
}

void frmData::showScan(const ScanSnapshot &scan)
{
    m_grid.showScan(scan);
}

void frmData::formLoad()
{
    const TwipsPerPixel tp = screenTwipsPerPixel();
    const int widths[] = {900, 1300, 900, 10000};
    for (int col = 0; col < ProcessGrid::kColumns; ++col)
        Grid1->setColumnWidth(col, twipsToPixels(widths[col], tp.x));
    fitHeadings();
}

void frmData::fitHeadings()
{
    // A style whose heading has wider padding than the one the widths were chosen for
    // widens the column: no heading is cut.
    const QHeaderView *heading = Grid1->horizontalHeader();
    for (int col = 0; col < ProcessGrid::kColumns; ++col) {
        const int needed = heading->sectionSizeHint(col);
        if (Grid1->columnWidth(col) < needed)
            Grid1->setColumnWidth(col, needed);
    }
}

void frmData::Form_Activate()
{
    QRectF stored(readSingle(m_store, u"DataForm"_s, u"Left"_s, 100),
                  readSingle(m_store, u"DataForm"_s, u"Top"_s, 50),
                  readSingle(m_store, u"DataForm"_s, u"Width"_s, 6105),
                  readSingle(m_store, u"DataForm"_s, u"Height"_s, 5220));
    // No size takes the default one; the rectangle is brought onto the screen.
    if (!(stored.width() > 0) || !(stored.height() > 0))
        stored.setSize({6105, 5220});
    stored = fitStoredRect(stored, QSize(200, 120));
    m_geometry->setLeft(stored.left());
    m_geometry->setTop(stored.top());
    m_geometry->setHeight(stored.height());
    m_geometry->setWidth(stored.width());
}

void frmData::Form_Resize()
{
    const TwipsPerPixel tp = screenTwipsPerPixel();
    const double width = m_geometry->width();
    const double height = m_geometry->height();
    // The grid never gets a negative size, however small the window is dragged.
    Grid1->resize(twipsToPixels(std::max(0.0, width - 380), tp.x),
                  twipsToPixels(std::max(0.0, height - 1230), tp.y));
    if (width > 13500)
        m_geometry->setWidth(13500); // raises the resize again, which fits the grid
}

void frmData::focusWindowChanged(QWindow *now)
{
    // The stored rectangle comes back when the window becomes active after another
    // window of this program, not when the user comes back from another application
    // (the program then had no focus window).
    const QWindow *before = m_lastFocus;
    m_lastFocus = now;
    if (now && now == windowHandle() && before && before != now)
        Form_Activate();
}

void frmData::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

void frmData::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    if (event->isAccepted())
        emit unloaded();
}

} // namespace plenwick
