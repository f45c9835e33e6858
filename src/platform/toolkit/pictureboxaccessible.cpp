#include "pictureboxaccessible.h"

#include "picturebox.h"

#include <QAccessibleWidget>
#include <QPointer>

namespace plenwick {

using namespace Qt::StringLiterals;

namespace {

// One control on the picture, found again by its place among the accessible items
// each time it is asked, so it always tells what the picture shows now.
class PictureItemAccessible : public QAccessibleInterface {
public:
    PictureItemAccessible(PictureBox *picture, int index) : m_picture(picture), m_index(index) {}

    bool isValid() const override
    {
        return m_picture && m_index < static_cast<int>(m_picture->accessibleItems().size());
    }
    QObject *object() const override { return nullptr; }
    QAccessibleInterface *parent() const override
    {
        return m_picture ? QAccessible::queryAccessibleInterface(m_picture.data()) : nullptr;
    }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QAccessible::Role role() const override { return QAccessible::StaticText; }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        s.readOnly = true;
        s.invisible = !isValid();
        return s;
    }
    QString text(QAccessible::Text t) const override
    {
        const auto items =
            m_picture ? m_picture->accessibleItems() : std::vector<ControlLayer::AccessibleItem>{};
        if (m_index >= static_cast<int>(items.size()))
            return {};
        const auto &item = items[static_cast<std::size_t>(m_index)];
        switch (t) {
        case QAccessible::Name:
            return item.name;
        case QAccessible::Description:
            return item.description;
        default:
            return {};
        }
    }
    void setText(QAccessible::Text, const QString &) override {}
    QRect rect() const override
    {
        if (!isValid())
            return {};
        const QRectF local = m_picture->accessibleItems()[static_cast<std::size_t>(m_index)].bounds;
        return QRect(m_picture->mapToGlobal(local.topLeft().toPoint()), local.size().toSize());
    }

private:
    QPointer<PictureBox> m_picture;
    int m_index;
};

class PictureBoxAccessible : public QAccessibleWidget {
public:
    explicit PictureBoxAccessible(PictureBox *picture)
        : QAccessibleWidget(picture, QAccessible::Graphic)
    {}

    ~PictureBoxAccessible() override
    {
        for (QAccessible::Id id : m_children)
            QAccessible::deleteAccessibleInterface(id);
    }

    int childCount() const override
    {
        return static_cast<int>(picture()->accessibleItems().size());
    }

    QAccessibleInterface *child(int index) const override
    {
        if (index < 0 || index >= childCount())
            return nullptr;
        // Child interfaces are made once per place and kept for the picture's life.
        while (static_cast<int>(m_children.size()) <= index) {
            auto *item = new PictureItemAccessible(picture(), static_cast<int>(m_children.size()));
            m_children.push_back(QAccessible::registerAccessibleInterface(item));
        }
        return QAccessible::accessibleInterface(m_children[static_cast<std::size_t>(index)]);
    }

    int indexOfChild(const QAccessibleInterface *child) const override
    {
        for (std::size_t i = 0; i < m_children.size(); ++i)
            if (QAccessible::accessibleInterface(m_children[i]) == child)
                return static_cast<int>(i) < childCount() ? static_cast<int>(i) : -1;
        return -1;
    }

    QAccessibleInterface *childAt(int x, int y) const override
    {
        const QPointF local = picture()->mapFromGlobal(QPoint(x, y));
        const auto items = picture()->accessibleItems();
        for (int i = static_cast<int>(items.size()) - 1; i >= 0; --i)
            if (items[static_cast<std::size_t>(i)].bounds.contains(local))
                return child(i);
        return nullptr;
    }

private:
    PictureBox *picture() const { return static_cast<PictureBox *>(widget()); }
    mutable std::vector<QAccessible::Id> m_children;
};

QAccessibleInterface *pictureBoxFactory(const QString &className, QObject *object)
{
    if (className == u"plenwick::PictureBox"_s && object && object->isWidgetType())
        return new PictureBoxAccessible(static_cast<PictureBox *>(object));
    return nullptr;
}

} // namespace

void installPictureBoxAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(pictureBoxFactory);
        return true;
    }();
    (void)installed;
}

} // namespace plenwick
