// Assistive technology sees the labels of an accessible layer as the picture box's
// children, with their captions as names and their tooltips as descriptions.
#include "platform/toolkit/controlarray.h"
#include "platform/toolkit/picturebox.h"

#include <QAccessible>
#include <QApplication>
#include <QTest>

using namespace plenwick;
using namespace Qt::StringLiterals;

class TestPictureBoxAccessible : public QObject {
    Q_OBJECT

private slots:
    void labelsAreChildren()
    {
        PictureBox picture;
        picture.resize(400, 200);
        ControlArray<LabelControl> labels{LabelControl()};
        ControlArray<LabelControl> scale{LabelControl()};
        labels.find(0)->visible = false; // the template is not a slice
        picture.addLayer(&labels, true);
        picture.addLayer(&scale); // not told: the scale's numbers are not slices

        const QString names[] = {u"Operating System (1024Kb)"_s, u"<b>x</b> (4Kb)"_s,
                                 u"Available Memory (2048Kb)"_s};
        for (int i = 1; i <= 3; ++i) {
            labels.load(i);
            LabelControl *label = labels.find(i);
            label->setCaption(names[i - 1]);
            label->toolTipText = u"/usr/bin/"_s + names[i - 1];
            label->left = 10.0f * i;
            label->top = 12.0f * i;
            label->visible = true;
        }
        picture.show();
        QVERIFY(QTest::qWaitForWindowExposed(&picture));

        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(&picture);
        QVERIFY(iface);
        QCOMPARE(iface->role(), QAccessible::Graphic);
        QCOMPARE(iface->childCount(), 3);
        for (int i = 0; i < 3; ++i) {
            QAccessibleInterface *child = iface->child(i);
            QVERIFY(child && child->isValid());
            QCOMPARE(child->text(QAccessible::Name), names[i]);
            QCOMPARE(child->text(QAccessible::Description), u"/usr/bin/"_s + names[i]);
            QCOMPARE(child->role(), QAccessible::StaticText);
            QCOMPARE(iface->indexOfChild(child), i);
            QCOMPARE(child->parent(), iface);
            const QRect r = child->rect();
            QCOMPARE(r.topLeft(), picture.mapToGlobal(QPoint(10 * (i + 1), 12 * (i + 1))));
            QCOMPARE(iface->childAt(r.center().x(), r.center().y()), child);
        }

        // A shorter chart has fewer children; the ones past its end are no longer valid.
        QAccessibleInterface *last = iface->child(2);
        labels.unload(3);
        picture.notifyAccessibleChildrenChanged();
        QCOMPARE(iface->childCount(), 2);
        QVERIFY(!last->isValid());
        QCOMPARE(iface->child(2), nullptr);
        QCOMPARE(iface->indexOfChild(last), -1);
    }
};

QTEST_MAIN(TestPictureBoxAccessible)
#include "test_pictureboxaccessible.moc"
