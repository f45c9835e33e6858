#pragma once

#include "controls.h"

#include <optional>
#include <QPainter>
#include <QRect>
#include <QRectF>
#include <QRegion>
#include <QString>
#include <utility>
#include <vector>

namespace plenwick {

// What a picture box needs of the controls it holds.
class ControlLayer {
public:
    virtual ~ControlLayer() = default;
    // Paints the visible elements that meet `exposed`, in index order.
    virtual void paint(QPainter &painter, const QRegion &exposed) const = 0;
    // Adds to `areas` where the picture of the elements differs from what it was at the
    // last call (where elements appeared, moved, changed or went), and takes the
    // present picture as the one to compare with next time.
    virtual void takeChangedAreas(std::vector<QRect> &areas) const = 0;
    // The tooltip of the topmost visible element under `pos`, if any.
    virtual std::optional<QString> toolTipAt(QPointF) const { return std::nullopt; }

    // What assistive technology is told of the visible elements: a name, a longer
    // description and where each lies.
    struct AccessibleItem {
        QString name;
        QString description;
        QRectF bounds;
    };
    virtual void collectAccessibleItems(std::vector<AccessibleItem> &) const {}
};

// A set of like controls told apart by an index. Element 0 is the design-time
// template; elements created at run time are copies of it, invisible until shown,
// and are destroyed again. Creating an element that exists, or destroying one that
// does not, does nothing.
template <class T> class ControlArray final : public ControlLayer {
public:
    explicit ControlArray(T designTemplate) { m_items.emplace_back(std::move(designTemplate)); }

    bool exists(int index) const
    {
        return index >= 0 && static_cast<std::size_t>(index) < m_items.size() &&
               m_items[static_cast<std::size_t>(index)].has_value();
    }

    // The element, or null when it does not exist.
    T *find(int index) { return exists(index) ? &*m_items[idx(index)] : nullptr; }
    const T *find(int index) const { return exists(index) ? &*m_items[idx(index)] : nullptr; }

    // Creates element `index` as an invisible copy of element 0.
    void load(int index)
    {
        if (index <= 0 || exists(index))
            return;
        if (idx(index) >= m_items.size())
            m_items.resize(idx(index) + 1);
        T copy = *m_items.front();
        copy.visible = false;
        m_items[idx(index)] = std::move(copy);
    }

    // Destroys element `index`; element 0 stays.
    void unload(int index)
    {
        if (index <= 0 || !exists(index))
            return;
        m_items[idx(index)].reset();
        while (m_items.size() > 1 && !m_items.back().has_value())
            m_items.pop_back();
    }

    // One past the highest index that may exist.
    int size() const { return static_cast<int>(m_items.size()); }

    int count() const
    {
        int n = 0;
        for (const auto &item : m_items)
            n += item.has_value() ? 1 : 0;
        return n;
    }

    template <class F> void forEachVisible(F &&f) const
    {
        for (std::size_t i = 0; i < m_items.size(); ++i)
            if (m_items[i] && m_items[i]->visible)
                f(static_cast<int>(i), *m_items[i]);
    }

    void paint(QPainter &painter, const QRegion &exposed) const override
    {
        forEachVisible([&](int, const T &item) {
            if (exposed.intersects(item.paintBounds().toAlignedRect()))
                item.paint(painter);
        });
    }

    void takeChangedAreas(std::vector<QRect> &areas) const override
    {
        if (m_shown.size() < m_items.size())
            m_shown.resize(m_items.size());
        for (std::size_t i = 0; i < m_shown.size(); ++i) {
            const T *now =
                i < m_items.size() && m_items[i] && m_items[i]->visible ? &*m_items[i] : nullptr;
            std::optional<T> &was = m_shown[i];
            if (!now && !was)
                continue;
            if (now && was && now->looksLike(*was))
                continue;
            if (was)
                areas.push_back(was->paintBounds().toAlignedRect());
            if (now) {
                areas.push_back(now->paintBounds().toAlignedRect());
                was = *now;
            } else {
                was.reset();
            }
        }
        while (!m_shown.empty() && !m_shown.back())
            m_shown.pop_back();
    }

    std::optional<QString> toolTipAt(QPointF pos) const override
    {
        if constexpr (requires(const T &t) { t.toolTipText; }) {
            for (std::size_t i = m_items.size(); i-- > 0;) {
                const auto &item = m_items[i];
                if (item && item->visible && !item->toolTipText.isEmpty() &&
                    item->bounds().contains(pos))
                    return item->toolTipText;
            }
        } else {
            (void)pos;
        }
        return std::nullopt;
    }

    void collectAccessibleItems(std::vector<AccessibleItem> &items) const override
    {
        if constexpr (requires(const T &t) { t.caption(); }) {
            forEachVisible([&](int, const T &item) {
                items.push_back({item.caption(), item.toolTipText, item.bounds()});
            });
        }
    }

private:
    static std::size_t idx(int index) { return static_cast<std::size_t>(index); }
    std::vector<std::optional<T>> m_items;
    // The visible elements as they were at the last takeChangedAreas.
    mutable std::vector<std::optional<T>> m_shown;
};

} // namespace plenwick
