#pragma once

#include <functional>
#include <QObject>
#include <QPointer>
#include <QWidget>

namespace plenwick {

// The one instance of a window class. Referring to the window loads it (hidden) when
// it is not loaded; once the window is unloaded (closed for good), the next
// reference creates it afresh from its design. A window class announces its unload
// with a signal `unloaded()`, emitted when it has accepted a close, and has a
// `formLoad()` that runs once the instance is reachable through its reference (so
// that whatever the load handler sets off may refer to the window again).
template <class T> class FormRef {
public:
    using Factory = std::function<T *()>;

    explicit FormRef(Factory factory) : m_factory(std::move(factory)) {}
    ~FormRef() { delete m_form.data(); }
    FormRef(const FormRef &) = delete;
    FormRef &operator=(const FormRef &) = delete;

    // The window, loaded first when needed.
    T *get()
    {
        if (!m_form) {
            T *form = m_factory();
            m_form = form;
            QObject::connect(form, &T::unloaded, form, [this, form] {
                if (m_form == form)
                    m_form.clear();
            });
            form->formLoad();
        }
        return m_form.data();
    }
    T *operator->() { return get(); }

    // The window if it is loaded, else null; never loads it.
    T *loaded() const { return m_form.data(); }
    bool isLoaded() const { return !m_form.isNull(); }

private:
    Factory m_factory;
    QPointer<T> m_form;
};

} // namespace plenwick
