// No caption of any window is cut, whatever font size the desktop gives the program and
// under every widget style installed, and the keyboard's place shows from the start.
#include "app/application.h"
#include "app/mainwindow.h"
#include "platform/toolkit/desktopshell.h"
#include "support/fakeprocesssource.h"
#include "support/memorysettingsstore.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleFactory>
#include <QStyleOption>
#include <QTest>

using namespace plenwick;
using namespace Qt::StringLiterals;

namespace {

// The width a control has for its caption.
int captionRoom(QWidget *w)
{
    QStyleOptionButton option;
    option.initFrom(w);
    QStyle::SubElement element = QStyle::SE_PushButtonContents;
    if (qobject_cast<QRadioButton *>(w))
        element = QStyle::SE_RadioButtonContents;
    else if (qobject_cast<QCheckBox *>(w))
        element = QStyle::SE_CheckBoxContents;
    else if (!qobject_cast<QPushButton *>(w))
        return w->contentsRect().width();
    return w->style()->subElementRect(element, &option, w).width();
}

} // namespace

class TestCaptions : public QObject {
    Q_OBJECT
private slots:
    void noCaptionIsCut_data()
    {
        QTest::addColumn<QString>("style");
        QTest::addColumn<qreal>("desktopPoints");
        for (const QString &style : {u"Fusion"_s, u"Adwaita"_s, u"Adwaita-Dark"_s}) {
            if (!QStyleFactory::keys().contains(style))
                continue; // not installed here
            for (qreal points : {8.0, 10.0, 11.0, 12.0})
                QTest::addRow("%s %g pt", qPrintable(style), points) << style << points;
        }
    }

    void noCaptionIsCut()
    {
        QFETCH(QString, style);
        QFETCH(qreal, desktopPoints);
        QApplication::setStyle(style);
        QFont desktop(u"DejaVu Sans"_s);
        desktop.setPointSizeF(desktopPoints);
        QApplication::setFont(desktop);
        useDesignFont();

        FakeProcessSource source;
        source.setMemory(1LL << 40, 1LL << 39);
        source.addGeneratedProcesses(5);
        MemorySettingsStore store;
        NullDesktopShell shell;
        frmMain main(frmMain::Services{source, store, shell, {}, false});
        main.formLoad();
        // A platform theme applies the desktop's font once the event loop runs; the
        // running application then tells every window of it.
        QApplication::setFont(desktop);
        QEvent fontChange(QEvent::ApplicationFontChange);
        for (QWidget *window : QApplication::topLevelWidgets())
            QApplication::sendEvent(window, &fontChange);
        // The keyboard starts at "Get Proceses", and its focus mark shows.
        main.show();
        QVERIFY(QTest::qWaitForWindowActive(&main));
        auto *start = main.findChild<QPushButton *>(u"cmdGet"_s);
        QCOMPARE(QApplication::focusWidget(), start);
        const QImage focused = start->grab().toImage();
        start->clearFocus();
        QVERIFY(start->grab().toImage() != focused);

        const QList<QWidget *> windows = {&main, main.preferences(), main.dataWindow(),
                                          main.aboutWindow(), main.helpWindow()};
        for (QWidget *window : windows) {
            window->show();
            for (QWidget *w : window->findChildren<QWidget *>()) {
                QString text;
                if (auto *button = qobject_cast<QAbstractButton *>(w))
                    text = button->text();
                else if (auto *label = qobject_cast<QLabel *>(w))
                    text = label->text();
                if (text.isEmpty() || !w->isVisibleTo(window))
                    continue;
                const auto *label = qobject_cast<QLabel *>(w);
                if (label && label->wordWrap()) {
                    QVERIFY2(label->heightForWidth(label->width()) <= label->height(),
                             qPrintable(w->objectName()));
                    continue;
                }
                const int needed = w->fontMetrics().horizontalAdvance(text.remove(u'&'));
                QVERIFY2(needed <= captionRoom(w), qPrintable(w->objectName() + u": "_s + text));
            }
            for (QGroupBox *box : window->findChildren<QGroupBox *>())
                QVERIFY(box->fontMetrics().horizontalAdvance(box->title()) < box->width() - 16);
            for (QHeaderView *heading : window->findChildren<QHeaderView *>())
                for (int i = 0; i < heading->count(); ++i)
                    QVERIFY2(
                        heading->sectionSizeHint(i) <= heading->sectionSize(i),
                        qPrintable(heading->model()->headerData(i, Qt::Horizontal).toString()));
        }
    }
};

QTEST_MAIN(TestCaptions)
#include "test_captions.moc"
