#include "pictureboxaccessible.h"

#include "picturebox.h"

#include <optional>
#include <QAccessibleWidget>
#include <QPointer>
#include <vector>

namespace plenwick {

using namespace Qt::StringLiterals;

namespace {

// One control on the picture, found again by its place among the accessible items
// each time it is asked, so it always tells what the picture shows now. A place that
// the picture no longer fills stays a valid object, invisible, so that its removal
// can be told with its own path.
class PictureItemAccessible : public QAccessibleInterface {
public:
    PictureItemAccessible(PictureBox *picture, int index) : m_picture(picture), m_index(index) {}

    bool isValid() const override { return !m_picture.isNull(); }
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
        s.invisible = !item();
        return s;
    }
    QString text(QAccessible::Text t) const override
    {
        const auto shown = item();
        if (!shown)
            return {};
        switch (t) {
        case QAccessible::Name:
            return shown->name;
        case QAccessible::Description:
            return shown->description;
        default:
            return {};
        }
    }
    void setText(QAccessible::Text, const QString &) override {}
    QRect rect() const override
    {
        const auto shown = item();
        if (!shown)
            return {};
        return QRect(m_picture->mapToGlobal(shown->bounds.topLeft().toPoint()),
                     shown->bounds.size().toSize());
    }

private:
    std::optional<ControlLayer::AccessibleItem> item() const
    {
        if (!m_picture)
            return std::nullopt;
        auto items = m_picture->accessibleItems();
        if (m_index >= static_cast<int>(items.size()))
            return std::nullopt;
        return std::move(items[static_cast<std::size_t>(m_index)]);
    }

    QPointer<PictureBox> m_picture;
    int m_index;
};

class PictureBoxAccessible : public QAccessibleWidget {
public:
    explicit PictureBoxAccessible(PictureBox *picture)
        : QAccessibleWidget(picture, QAccessible::Graphic),
          m_told(static_cast<int>(picture->accessibleItems().size()))
    {}

    ~PictureBoxAccessible() override
    {
        for (QAccessible::Id id : m_children)
            QAccessible::deleteAccessibleInterface(id);
    }

    int childCount() const override
    {
        m_childrenAsked = true;
        return shownCount();
    }

    QAccessibleInterface *child(int index) const override
    {
        if (index < 0 || index >= childCount())
            return nullptr;
        return place(index);
    }

    int indexOfChild(const QAccessibleInterface *child) const override
    {
        for (std::size_t i = 0; i < m_children.size(); ++i)
            if (QAccessible::accessibleInterface(m_children[i]) == child)
                return static_cast<int>(i) < shownCount() ? static_cast<int>(i) : -1;
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

    // Tells the children that came (added to the picture) and went (no longer showing)
    // since the last change, one well-formed notification each. Until a client has
    // asked for the children nobody knows them, and nothing is told; a change of their
    // texts alone is not pushed either: a screen reader reads them when it comes to
    // them. (Qt's own reorder event costs a signal per child on every scan, and its
    // bridge sends those with a signature that assistive technology rejects; it
    // forwards no removal of a child that has no object of its own.)
    void tellChanges()
    {
        const int after = shownCount();
        const int before = m_told;
        m_told = after;
        if (!m_childrenAsked)
            return;
        for (int i = before; i < after; ++i) {
            QAccessibleEvent event(place(i), QAccessible::ObjectCreated);
            QAccessible::updateAccessibility(&event);
        }
        for (int i = before; i-- > after;) {
            QAccessibleEvent event(place(i), QAccessible::ObjectHide);
            QAccessible::updateAccessibility(&event);
        }
    }

private:
    PictureBox *picture() const { return static_cast<PictureBox *>(widget()); }
    int shownCount() const { return static_cast<int>(picture()->accessibleItems().size()); }

    // The interface of a place; made once per place and kept for the picture's life.
    QAccessibleInterface *place(int index) const
    {
        while (static_cast<int>(m_children.size()) <= index) {
            auto *item = new PictureItemAccessible(picture(), static_cast<int>(m_children.size()));
            m_children.push_back(QAccessible::registerAccessibleInterface(item));
        }
        return QAccessible::accessibleInterface(m_children[static_cast<std::size_t>(index)]);
    }

    mutable std::vector<QAccessible::Id> m_children;
    // How many children there were when the picture last changed.
    int m_told = 0;
    // Whether a client has asked for the children.
    mutable bool m_childrenAsked = false;
};

QAccessibleInterface *pictureBoxFactory(const QString &className, QObject *object)
{
    if (className == u"plenwick::PictureBox"_s && object && object->isWidgetType())
        return new PictureBoxAccessible(static_cast<PictureBox *>(object));
    return nullptr;
}

} // namespace

void tellPictureBoxChanges(PictureBox *picture)
{
    if (!QAccessible::isActive())
        return;
    // The factory above makes the interface of every picture box.
    if (auto *told =
            dynamic_cast<PictureBoxAccessible *>(QAccessible::queryAccessibleInterface(picture)))
        told->tellChanges();
}

void installPictureBoxAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(pictureBoxFactory);
        return true;
    }();
    (void)installed;
}

} // namespace plenwick
