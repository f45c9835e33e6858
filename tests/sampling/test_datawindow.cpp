#include "platform/toolkit/twips.h"
#include "sampling/datawindow.h"
#include "support/memorysettingsstore.h"

#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleFactory>
#include <QTableView>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace plenwick;

namespace {

ScanSnapshot scanOf(const QStringList &names)
{
    ScanSnapshot scan;
    for (const QString &name : names)
        scan.rows.push_back({ProcessId(scan.rows.size() + 10), name, 4096, u"/bin/"_s});
    scan.minimumGridRows = static_cast<int>(names.size()) + 2;
    return scan;
}

bool activate(QWidget *window)
{
    window->activateWindow();
    return QTest::qWaitForWindowActive(window);
}

} // namespace

class TestDataWindow : public QObject {
    Q_OBJECT
    MemorySettingsStore m_store;
    QPointer<frmData> m_form;

    template <class T> T *child(const QString &name) { return m_form->findChild<T *>(name); }

private slots:
    void init()
    {
        m_form = new frmData(m_store);
        m_form->formLoad();
    }
    void cleanup() { delete m_form; }

    void memoryFiguresAreWholeAndHeard_data()
    {
        QTest::addColumn<ByteCount>("bytes");
        QTest::addColumn<QString>("caption");
        QTest::newRow("1 TiB") << (ByteCount(1) << 40)
                               << u"1,099,511,627,776 bytes   (1048576 Mb)"_s;
        QTest::newRow("4 KiB") << ByteCount(4096) << u"04,096 bytes   (000 Mb)"_s;
    }
    void memoryFiguresAreWholeAndHeard()
    {
        QFETCH(ByteCount, bytes);
        QFETCH(QString, caption);
        m_form->setMemoryFigures(bytes, 1);
        auto *label = child<QLabel>(u"Label1"_s);
        QCOMPARE(label->text(), caption);
        QVERIFY(label->width() >= label->sizeHint().width());
        QAccessibleInterface *heard = QAccessible::queryAccessibleInterface(label);
        QCOMPARE(heard->text(QAccessible::Description), caption);
        // The bold captions end at one edge, whole, and the figures start just after it.
        const TwipsPerPixel tp = screenTwipsPerPixel();
        for (const QString &name : {u"Label3"_s, u"Label4"_s}) {
            const auto *bold = child<QLabel>(name);
            QCOMPARE(bold->x() + bold->width(), twipsToPixels(2450, tp.x));
            QVERIFY(bold->x() >= 0);
        }
        QCOMPARE(label->x(), twipsToPixels(2520, tp.x));
        QCOMPARE(child<QLabel>(u"Label2"_s)->x(), label->x());
    }

    void cellsReadActiveOrNot_data()
    {
        QTest::addColumn<QString>("style");
        QTest::addColumn<QPalette>("palette");
        const QPalette darker(Qt::white, QColor(0x42, 0x42, 0x45), QColor(0x97, 0x97, 0x97),
                              QColor(0x30, 0x2f, 0x2e), QColor(0x4a, 0x49, 0x47), Qt::white,
                              Qt::white, QColor(0x3d, 0x3d, 0x3d), QColor(0x22, 0x20, 0x20));
        QTest::newRow("light") << u"Fusion"_s << QApplication::style()->standardPalette();
        QTest::newRow("qt6ct darker") << u"Fusion"_s << darker;
        if (QStyleFactory::keys().contains(u"Adwaita-Dark"_s)) {
            QTest::newRow("Adwaita-Dark")
                << u"Adwaita-Dark"_s
                << std::unique_ptr<QStyle>(QStyleFactory::create(u"Adwaita-Dark"_s))
                       ->standardPalette();
        }
    }
    void cellsReadActiveOrNot()
    {
        QFETCH(QString, style);
        QFETCH(QPalette, palette);
        QApplication::setStyle(style);
        QApplication::setPalette(palette);
        delete m_form;
        init(); // the window made afresh under the style
        // Full blocks: text pixels in the text's own colour, whatever the font's smoothing.
        m_form->showScan(scanOf({u"a"_s, u"\u2588\u2588\u2588"_s}));
        QWidget other;
        other.show();
        m_form->show();
        auto *view = child<QTableView>(u"Grid1"_s);
        const QRect cell = view->visualRect(view->model()->index(1, 1))
                               .translated(view->viewport()->mapTo(m_form, QPoint()));
        auto luminance = [](QRgb c) {
            auto linear = [](int v) {
                return v <= 10 ? v / 3294.6 : std::pow((v / 255.0 + 0.055) / 1.055, 2.4);
            };
            return 0.2126 * linear(qRed(c)) + 0.7152 * linear(qGreen(c)) +
                   0.0722 * linear(qBlue(c)) + 0.05;
        };
        for (QWidget *active : {static_cast<QWidget *>(m_form), &other}) {
            QVERIFY(activate(active));
            const QImage shot = m_form->grab().toImage();
            const double ground = luminance(shot.pixel(cell.topLeft() + QPoint(1, 1)));
            double best = 1;
            for (int x = cell.left(); x < cell.right(); ++x)
                for (int y = cell.top(); y < cell.bottom(); ++y) {
                    const double text = luminance(shot.pixel(x, y));
                    best = std::max(best, std::max(text, ground) / std::min(text, ground));
                }
            QVERIFY2(best >= 4.5, qPrintable(u"contrast %1"_s.arg(best)));
            QCOMPARE(QColor(shot.pixel(cell.bottomRight())), QColor(192, 192, 192));
        }
    }

    void tableHeadingIsTheViewsOwnAndScansKeepShowing()
    {
        auto *view = child<QTableView>(u"Grid1"_s);
        QAbstractItemModel *model = view->model();
        QAbstractItemModelTester tester(model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        m_form->show();
        m_form->showScan(scanOf({u"a"_s, u"b"_s, u"c"_s}));
        QVERIFY(!view->horizontalHeader()->isHidden());
        QCOMPARE(model->headerData(3, Qt::Horizontal).toString(), u"Work Directory"_s);
        QCOMPARE(model->rowCount(), 98);
        QCOMPARE(model->index(0, 1).data().toString(), u"a"_s);

        // Every scan's changes reach the view, not only the first one's.
        QSignalSpy changed(model, &QAbstractItemModel::dataChanged);
        for (const QStringList &names : {QStringList{u"d"_s}, QStringList{u"e"_s, u"f"_s}}) {
            QCoreApplication::processEvents();
            changed.clear();
            m_form->showScan(scanOf(names));
            QTRY_VERIFY(!changed.isEmpty());
            QCOMPARE(changed.last().at(0).value<QModelIndex>().row(), 0);
        }
        m_form->showScan(scanOf(QStringList(120, u"g"_s)));
        QCOMPARE(model->rowCount(), 121);
    }

    void escapeClosesTheWindow()
    {
        m_form->show();
        QVERIFY(activate(m_form));
        QSignalSpy unloaded(m_form.data(), &frmData::unloaded);
        QTest::keyClick(child<QTableView>(u"Grid1"_s), Qt::Key_Escape);
        QCOMPARE(unloaded.count(), 1);
    }

    void storedRectangleReturnsOnlyAfterAnotherWindowOfTheProgram()
    {
        m_store.preset(u"DataForm"_s, u"Left"_s, u"1500"_s);
        QWidget other;
        other.show();
        m_form->show();
        m_form->geometryTwips().setLeft(3000);
        QVERIFY(activate(&other));
        QVERIFY(activate(m_form));
        QCOMPARE(m_form->geometryTwips().left(), 1500.0);
        // The grid fills the default 6105 x 5220 twips below the labels: 5725 x 3990.
        QCOMPARE(child<QTableView>(u"Grid1"_s)->size(), QSize(382, 266));
        m_form->resize(1500, 400); // dragged wider than 13500 twips, it snaps back
        QCOMPARE(m_form->geometryTwips().width(), 13500.0);

        // Coming back from another application: the program had no active window.
        m_form->geometryTwips().setLeft(3000);
        {
            QWidget elsewhere;
            elsewhere.show();
            QVERIFY(activate(&elsewhere));
        }
        QVERIFY(activate(m_form));
        QCOMPARE(m_form->geometryTwips().left(), 3000.0);
    }
};

QTEST_MAIN(TestDataWindow)
#include "test_datawindow.moc"
