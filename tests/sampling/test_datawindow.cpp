#include "sampling/datawindow.h"
#include "support/memorysettingsstore.h"

#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QSignalSpy>
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
