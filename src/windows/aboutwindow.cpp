#include "aboutwindow.h"

#include "platform/toolkit/desktopshell.h"
#include "platform/toolkit/toolkit.h"
#include "platform/toolkit/twips.h"
#include "platform/toolkit/windowgeometry.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <QCheckBox>
#include <QCloseEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

namespace plenwick {

using namespace Qt::StringLiterals;

namespace {

// The window's client area, in twips.
constexpr double kClientWidth = 3810;
constexpr double kClientHeight = 2850;

// Relative luminance of a colour and the contrast ratio of two, as the accessibility
// guidelines define them; text needs a ratio of 4.5 to read well.
double luminance(const QColor &c)
{
    auto linear = [](float v) {
        return v <= 0.04045f ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
}

double contrast(const QColor &a, const QColor &b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The first of `choices` that reads well on `background`, else the one that reads best.
QColor readableOn(const QColor &background, std::initializer_list<QColor> choices)
{
    QColor best;
    double bestRatio = 0;
    for (const QColor &c : choices) {
        const double ratio = contrast(c, background);
        if (ratio >= 4.5)
            return c;
        if (ratio > bestRatio) {
            best = c;
            bestRatio = ratio;
        }
    }
    return best;
}

QPoint pixelPoint(double left, double top)
{
    const TwipsPerPixel f = screenTwipsPerPixel();
    return {twipsToPixels(left, f.x), twipsToPixels(top, f.y)};
}

// The web site address: a label that the Tab key reaches, marked by the style's focus
// frame while it has the keyboard.
class LinkLabel : public QLabel {
public:
    explicit LinkLabel(QWidget *parent) : QLabel(parent)
    {
        setFocusPolicy(Qt::TabFocus);
        setMargin(kLinkMargin);
    }
    // Room around the text for the focus frame; the text stays where the design puts it.
    static constexpr int kLinkMargin = 2;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QLabel::paintEvent(event);
        if (!hasFocus())
            return;
        QStylePainter painter(this);
        QStyleOptionFocusRect frame;
        frame.initFrom(this);
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, frame);
    }
};

// A label that shows `text` as it is and sizes itself to it, its top left corner at
// the given place in twips.
QLabel *makeAutoSizedLabel(QWidget *parent, const QString &name, const QString &text, double left,
                           double top, QLabel *label = nullptr)
{
    if (!label)
        label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->setAccessibleName(text);
    label->move(pixelPoint(left, top) - QPoint(label->margin(), label->margin()));
    label->adjustSize();
    return label;
}

} // namespace

frmAbout::frmAbout(DesktopShell &shell, QWidget *parent)
    : QWidget(parent,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_shell(shell), m_geometry(new WindowGeometry(this))
{
    makeToolWindow(this);
    setObjectName(u"frmAbout"_s);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(u"About Plenwick"_s);
    setWindowIcon(applicationIcon());
    const TwipsPerPixel f = screenTwipsPerPixel();
    setFixedSize(twipsToPixels(kClientWidth, f.x), twipsToPixels(kClientHeight, f.y));
    // Moves over the window and the link arrive without a button held down.
    setMouseTracking(true);

    Picture2 = new QLabel(this);
    Picture2->setObjectName(u"Picture2"_s);
    Picture2->setFrameShape(QFrame::NoFrame);
    Picture2->setAlignment(Qt::AlignCenter);
    Picture2->setGeometry(twipsToPixels(240, 360, 480, 480));
    Picture2->setPixmap(applicationIcon().pixmap(QSize(32, 32)));
    Picture2->setAccessibleName(u"Plenwick icon"_s);

    Check13 = new QCheckBox(this);
    Check13->setObjectName(u"Check13"_s);
    Check13->setText(u"Hyperlinks active"_s);
    QFont checkFont(u"Arial"_s);
    checkFont.setPointSizeF(6.75);
    Check13->setFont(checkFont);
    Check13->setGeometry(twipsToPixels(2280, 2520, 1455, 255));
    // Wide enough for its text in the face that stands in for Arial here, up to the
    // window's edge.
    Check13->resize(
        std::clamp(Check13->sizeHint().width(), Check13->width(), width() - Check13->x()),
        Check13->height());
    Check13->setChecked(false);
    Check13->setAccessibleName(u"Hyperlinks active"_s);

    Label9 = makeAutoSizedLabel(this, u"Label9"_s, u"by: Plenwick developers"_s, 1080, 1680);

    Label8 = makeAutoSizedLabel(this, u"Label8"_s, u"https://plenwick.example.org/"_s, 960, 1920,
                                new LinkLabel(this));
    Label8->setAccessibleDescription(u"The maker's web site; a click, Enter or Space opens it "
                                     u"while hyperlinks are active"_s);
    Label8->setMouseTracking(true);
    Label8->installEventFilter(this);
    showLink(false);

    Label7 = makeAutoSizedLabel(this, u"Label7"_s, u"Version 1.0"_s, 1440, 720);

    QFont titleFont(u"Times New Roman"_s);
    titleFont.setPointSizeF(15.75);
    titleFont.setBold(true);
    Label6 = new QLabel(this);
    Label6->setFont(titleFont);
    Label6->setObjectName(u"Label6"_s);
    Label6->setTextFormat(Qt::PlainText);
    Label6->setText(u"Plenwick"_s);
    Label6->setAccessibleName(u"Plenwick"_s);
    Label6->move(pixelPoint(840, 360));
    Label6->adjustSize();

    // Keyboard order: the icon, the check box, then the labels from the credit line up.
    QWidget::setTabOrder(Picture2, Check13);
    QWidget::setTabOrder(Check13, Label9);
    QWidget::setTabOrder(Label9, Label8);
    QWidget::setTabOrder(Label8, Label7);
    QWidget::setTabOrder(Label7, Label6);
}

void frmAbout::formLoad()
{
    // Nothing to do: a new instance already holds the design content, the check box
    // cleared and the link at rest.
}

void frmAbout::Form_MouseMove()
{
    showLink(false);
}

void frmAbout::Label8_MouseMove()
{
    showLink(hyperlinksActive());
}

void frmAbout::Label8_MouseDown()
{
    // Any button opens the link; which one is not looked at.
    if (hyperlinksActive())
        OpenHyperlink(Label8->text());
}

void frmAbout::Label8_Click()
{
    // The press that began this click has opened the link already; opening it here
    // as well would hand the desktop the same address twice for one click.
}

void frmAbout::OpenHyperlink(const QString &target)
{
    m_shell.open(target);
}

bool frmAbout::hyperlinksActive() const
{
    return Check13->isChecked();
}

void frmAbout::showLink(bool highlighted)
{
    m_linkHighlighted = highlighted;
    // Black at rest and pure blue when lit, as long as the window's background is light
    // enough to read them; on a dark one, a light text at rest and a light blue when lit.
    const QColor background = palette().color(QPalette::Window);
    const QColor colour =
        highlighted
            ? readableOn(background,
                         {QColor(0, 0, 255), QColor(0x80, 0xb0, 0xff), QColor(0xc0, 0xd8, 0xff)})
            : readableOn(background, {QColor(Qt::black), palette().color(QPalette::WindowText),
                                      QColor(Qt::white)});
    QPalette linkPalette = Label8->palette();
    linkPalette.setColor(QPalette::WindowText, colour);
    Label8->setPalette(linkPalette);
    QFont font = Label8->font();
    if (font.underline() != highlighted) {
        font.setUnderline(highlighted);
        Label8->setFont(font);
    }
}

void frmAbout::changeEvent(QEvent *event)
{
    // A new palette may bring a background on which the link's colour no longer reads.
    const bool newPalette =
        event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange;
    if (newPalette && Label8)
        showLink(m_linkHighlighted);
    QWidget::changeEvent(event);
}

void frmAbout::keyPressEvent(QKeyEvent *event)
{
    // Escape closes the window as its close box does.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier)
        close();
    else
        QWidget::keyPressEvent(event);
}

bool frmAbout::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != Label8)
        return QWidget::eventFilter(watched, event);

    switch (event->type()) {
    case QEvent::MouseMove:
        // Handled here, so the move does not also reach the window as a move over
        // its background.
        Label8_MouseMove();
        return true;
    case QEvent::MouseButtonPress: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton)
            m_linkPressed = true;
        Label8_MouseDown();
        return true;
    }
    case QEvent::MouseButtonRelease: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton)
            return true;
        const bool clicked = m_linkPressed && Label8->rect().contains(mouse->position().toPoint());
        m_linkPressed = false;
        if (clicked)
            Label8_Click();
        return true;
    }
    case QEvent::KeyPress: {
        // Enter or Space opens the link as a click does, once however long it is held.
        const auto *key = static_cast<QKeyEvent *>(event);
        const bool opens = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter ||
                           key->key() == Qt::Key_Space;
        if (!opens)
            return QWidget::eventFilter(watched, event);
        if (!key->isAutoRepeat() && hyperlinksActive())
            OpenHyperlink(Label8->text());
        return true;
    }
    case QEvent::MouseButtonDblClick:
        // The second press of a double click has arrived as a press of its own already.
        return true;
    default:
        return QWidget::eventFilter(watched, event);
    }
}

void frmAbout::mouseMoveEvent(QMouseEvent *event)
{
    // Moves over a child that does not take them itself come here too; only the
    // window's own background resets the link.
    if (!childAt(event->position().toPoint()))
        Form_MouseMove();
    QWidget::mouseMoveEvent(event);
}

void frmAbout::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    if (event->isAccepted())
        emit unloaded();
}

} // namespace plenwick
