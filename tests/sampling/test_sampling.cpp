// The process scan, the table it fills, and the data window that shows both.
#include "platform/toolkit/twips.h"
#include "sampling/datawindow.h"
#include "sampling/processgrid.h"
#include "sampling/processscan.h"
#include "support/fakeprocesssource.h"
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

constexpr ByteCount MiB = 1024 * 1024;

// A process whose executable is /opt/<name>/<name>.
FakeProcess p(ProcessId pid, const QString &name, std::optional<ByteCount> workingSet)
{
    return {pid, name, u"/opt/%1/%1"_s.arg(name), workingSet};
}

// "name start+size directory" per slice; "pid name size directory" per row, then the
// rows the table must grow to.
QString slicesOf(const ScanSnapshot &scan)
{
    QStringList out;
    for (const Slice &s : scan.slices)
        out << u"%1 %2+%3 %4"_s.arg(s.name).arg(s.start).arg(s.size).arg(s.directory).trimmed();
    return out.join(u", "_s);
}
QString rowsOf(const ScanSnapshot &scan)
{
    QStringList out;
    for (const ProcessRow &r : scan.rows)
        out << u"%1 %2 %3 %4"_s.arg(r.pid).arg(r.name).arg(r.size).arg(r.directory);
    return out.join(u", "_s) + u" (grow to %1)"_s.arg(scan.minimumGridRows);
}

// A scan listing processes of these names, 1.5 kB each in /d/, identifiers from 1, with
// two rows to spare in the table.
ScanSnapshot scanOf(const QStringList &names, bool failed = false)
{
    ScanSnapshot scan;
    for (const QString &name : names)
        scan.rows.push_back({ProcessId(scan.rows.size() + 1), name, 1536, u"/d/"_s});
    scan.minimumGridRows = static_cast<int>(names.size()) + 2;
    scan.enumerationFailed = failed;
    return scan;
}

// Shows the window and makes it the active one.
bool activate(QWidget *window)
{
    window->show();
    window->activateWindow();
    return QTest::qWaitForWindowActive(window);
}

} // namespace

class TestSampling : public QObject {
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

    void memoryFiguresAreWholeAndHeard()
    {
        const TwipsPerPixel tp = screenTwipsPerPixel();
        auto *label = child<QLabel>(u"Label1"_s);
        for (const auto &[bytes, caption] :
             {std::pair{ByteCount(1) << 40, u"1,099,511,627,776 bytes   (1048576 Mb)"_s},
              std::pair{ByteCount(4096), u"04,096 bytes   (000 Mb)"_s}}) {
            m_form->setMemoryFigures(bytes, 1);
            QCOMPARE(label->text(), caption);
            QCOMPARE(QAccessible::queryAccessibleInterface(label)->text(QAccessible::Description),
                     caption);
            // The bold captions end at one edge, whole, and the figures start just after it.
            for (const QString &name : {u"Label3"_s, u"Label4"_s}) {
                const auto *bold = child<QLabel>(name);
                QVERIFY(bold->x() >= 0 && bold->x() + bold->width() == twipsToPixels(2450, tp.x));
            }
            QCOMPARE(std::pair(label->x(), child<QLabel>(u"Label2"_s)->x()),
                     std::pair(twipsToPixels(2520, tp.x), twipsToPixels(2520, tp.x)));
        }
    }

    void cellsReadActiveOrNot_data()
    {
        QTest::addColumn<QString>("style");
        for (const QString &style : {u"Fusion"_s, u"qt6ct darker"_s, u"Adwaita-Dark"_s})
            if (style == u"qt6ct darker"_s || QStyleFactory::keys().contains(style))
                QTest::newRow(qPrintable(style)) << style;
    }
    void cellsReadActiveOrNot()
    {
        QFETCH(QString, style);
        const bool darker = style == u"qt6ct darker"_s; // Fusion in qt6ct's "darker" colours
        QApplication::setStyle(darker ? u"Fusion"_s : style);
        QApplication::setPalette(
            darker ? QPalette(Qt::white, QColor(0x42, 0x42, 0x45), QColor(0x97, 0x97, 0x97),
                              QColor(0x30, 0x2f, 0x2e), QColor(0x4a, 0x49, 0x47), Qt::white,
                              Qt::white, QColor(0x3d, 0x3d, 0x3d), QColor(0x22, 0x20, 0x20))
                   : QApplication::style()->standardPalette());
        delete m_form;
        init(); // the window made afresh under the style
        // Full blocks: text pixels in the text's own colour, whatever the font's smoothing.
        m_form->showScan(scanOf({u"a"_s, u"\u2588\u2588\u2588"_s}));
        QWidget other;
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
                for (int y = cell.top(); y < cell.bottom(); ++y)
                    best = std::max({best, luminance(shot.pixel(x, y)) / ground,
                                     ground / luminance(shot.pixel(x, y))});
            QVERIFY2(best >= 4.5, qPrintable(u"contrast %1"_s.arg(best)));
            QCOMPARE(QColor(shot.pixel(cell.bottomRight())), QColor(192, 192, 192));
        }
    }

    void tableHeadingIsTheViewsOwnAndScansKeepShowing()
    {
        auto *view = child<QTableView>(u"Grid1"_s);
        QAbstractItemModel *model = view->model();
        QAbstractItemModelTester tester(model); // reports through QTest
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

    void storedRectangleReturnsOnlyAfterAnotherWindowOfTheProgram()
    {
        m_store.preset(u"DataForm"_s, u"Left"_s, u"1500"_s);
        QWidget other;
        m_form->show();
        m_form->geometryTwips().setLeft(3000);
        QVERIFY(activate(&other) && activate(m_form));
        QCOMPARE(m_form->geometryTwips().left(), 1500.0);
        // The grid fills the default 6105 x 5220 twips below the labels: 5725 x 3990.
        QCOMPARE(child<QTableView>(u"Grid1"_s)->size(), QSize(382, 266));
        m_form->resize(1500, 400); // dragged wider than 13500 twips, it snaps back
        QCOMPARE(m_form->geometryTwips().width(), 13500.0);

        // Coming back from another application: the program had no active window.
        m_form->geometryTwips().setLeft(3000);
        QVERIFY(activate(std::make_unique<QWidget>().get())); // gone once active
        QVERIFY(activate(m_form));
        QCOMPARE(m_form->geometryTwips().left(), 3000.0);
        QSignalSpy unloaded(m_form.data(), &frmData::unloaded);
        QTest::keyClick(child<QTableView>(u"Grid1"_s), Qt::Key_Escape); // closes it
        QCOMPARE(unloaded.count(), 1);
    }

    // The processes listed, then the slices and the rows of the first scan.
    void firstScan()
    {
        const QString available = u", Available Memory 524288+524288"_s;
        const std::tuple<std::vector<FakeProcess>, QString, QString> table[] = {
            // Equal neighbours get one slice, each a row.
            {{p(5, u"a"_s, 4096), p(6, u"a"_s, 4096), p(7, u"a"_s, 8192)},
             u"a 0+4096 /opt/a/, a 4096+8192 /opt/a/"_s + available,
             u"5 a 4096 /opt/a/, 6 a 4096 /opt/a/, 7 a 8192 /opt/a/ (grow to 4)"_s},
            // Failed queries keep the values of the process before.
            {{p(5, u"a"_s, 4096), FakeProcess{.pid = 9, .openFails = true},
              FakeProcess{.pid = 10, .modulesFail = true}, p(11, u"b"_s, std::nullopt)},
             u"a 0+4096 /opt/a/, b 4096+4096 /opt/b/"_s + available,
             u"5 a 4096 /opt/a/, 11 b 4096 /opt/b/ (grow to 3)"_s},
            // Fixed names for identifiers 0 and 2, no rows.
            {{FakeProcess{.pid = 0}, FakeProcess{.pid = 2}, FakeProcess{.pid = 0}, p(5, u"a"_s, 0)},
             u"System Idle Process 0+0, System 0+0, System Idle Process 0+0, a 0+0 /opt/a/"_s +
                 available,
             u" (grow to 2)"_s},
            // Names and directories.
            {{FakeProcess{5, u"a.exe"_s, u"/a.exe"_s, 4096}, FakeProcess{6, u"p"_s, u"p"_s, 8192},
              FakeProcess{7, u"q  "_s, u"/x/q\0junk"_s, 12288},
              FakeProcess{8, std::nullopt, std::nullopt, 16384}},
             u"a.exe 0+4096 /, p 4096+8192, q 12288+12288 /x/, unknown 24576+16384"_s + available,
             u"5 a.exe 4096 /, 7 q 12288 /x/ (grow to 4)"_s},
        };
        for (const auto &[processes, slices, rows] : table) {
            FakeProcessSource source;
            source.addProcesses(processes);
            const ScanSnapshot scan = ProcessScan(source).cmdGet_Click(MiB, MiB / 2);
            QCOMPARE(slicesOf(scan), slices);
            QCOMPARE(rowsOf(scan), rows);
        }
    }

    void laterScansBuildOnTheOneBefore()
    {
        FakeProcessSource source;
        source.addProcesses({p(5, u"a"_s, 10 * MiB), p(6, u"b"_s, 20 * MiB)});
        ProcessScan scan(source);
        QCOMPARE(scan.cmdGet_Click(100 * MiB, 70 * MiB).slices.front().name, u"a"_s);
        // The operating system holds the used memory less the last scan's processes.
        QCOMPARE(slicesOf(scan.cmdGet_Click(100 * MiB, 70 * MiB)).section(u", "_s, 0, 1),
                 u"Operating System 0+0, a 0+10485760 /opt/a/"_s);
        QCOMPARE(slicesOf(scan.cmdGet_Click(100 * MiB, 80 * MiB)),
                 u"Operating System 0+-10485760, a -10485760+10485760 /opt/a/, "
                 u"b 0+20971520 /opt/b/, Available Memory 20971520+83886080"_s);

        source.setEnumerationFails(true);
        const ScanSnapshot failed = scan.cmdGet_Click(100 * MiB, 80 * MiB);
        QVERIFY(failed.enumerationFailed);
        QCOMPARE(slicesOf(failed), u"Operating System 0+-10485760, "
                                   u"Available Memory 20971520+83886080"_s);

        // No operating system after a failure; the directory carries over.
        source.setEnumerationFails(false);
        source.clearProcesses();
        source.addProcess({.pid = 0});
        source.addGeneratedProcesses(1100);
        const ScanSnapshot next = scan.cmdGet_Click(100 * MiB, 80 * MiB);
        QCOMPARE(slicesOf(next).section(u", "_s, 0, 0), u"System Idle Process 0+0 /opt/b/"_s);
        QCOMPARE(next.rows.size(), 1023u); // the list holds 1024 identifiers
    }

    void gridShowsEachScanAndBlanksWhatTheLastLeft()
    {
        ProcessGrid grid;
        grid.showScan(scanOf(QStringList(120, u"n"_s)));
        QCOMPARE(grid.rows(), 122);
        const auto rowText = [&](int row) {
            QStringList texts;
            for (int col = 0; col < ProcessGrid::kColumns; ++col)
                texts << grid.textAt(row, col);
            return texts.join(u'|');
        };
        QCOMPARE(rowText(0), u"Process ID|Filename|Size|Work Directory"_s);
        QCOMPARE(rowText(120), u"120|n|1.5k|/d/"_s);
        const auto filledRows = [&] {
            int n = 0;
            for (int row = 1; row < grid.rows(); ++row)
                n += rowText(row) == u"|||"_s ? 0 : 1;
            return n;
        };
        grid.showScan(scanOf({u"a"_s, u"b"_s}));
        QCOMPARE(filledRows(), 2);
        grid.showScan(scanOf({}, true)); // nothing is blanked after a failed listing
        QCOMPARE(filledRows(), 2);
        grid.showScan(scanOf({}));
        QCOMPARE(filledRows(), 0);

        // Every row filled up to the last one: the blanking goes on to it and stops.
        ScanSnapshot full = scanOf(QStringList(121, u"n"_s));
        full.minimumGridRows = 0;
        grid.showScan(full);
        grid.showScan(scanOf({u"a"_s, u"b"_s, u"c"_s}));
        QCOMPARE(filledRows(), 3);
    }
};

QTEST_MAIN(TestSampling)
#include "test_sampling.moc"
