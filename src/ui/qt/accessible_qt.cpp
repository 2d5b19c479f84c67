// SPDX-License-Identifier: MIT
#include "ui/qt/accessible_qt.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QTimer>
#include <functional>

#include "ui/accessibility.h"
#include "ui/qt/form_view_qt.h"

namespace vextra::ui::qt {
namespace {

// A hot spot as a push button. Its press is queued, as Qt queues a button's own: a screen reader
// waits for the answer to a press, which a message box opened within it would hold back.
class HotSpot final : public QAccessibleWidget {
public:
    HotSpot(QWidget* widget, std::function<void()> click, QString shortcut)
        : QAccessibleWidget(widget, QAccessible::Button), click_(std::move(click)), shortcut_(std::move(shortcut)) {}

    QStringList actionNames() const override { return {pressAction()}; }

    void doAction(const QString& name) override {
        if (name == pressAction()) QTimer::singleShot(0, widget(), click_);
    }

    QStringList keyBindingsForAction(const QString& name) const override {
        if (name != pressAction() || shortcut_.isEmpty()) return {};
        return {shortcut_};
    }

private:
    std::function<void()> click_;
    QString shortcut_;
};

// Consulted before Qt's own interfaces: the form, its picture boxes and hot spots; Qt's own line
// edits and labels serve the fields and captions as they are.
QAccessibleInterface* interface_for(const QString&, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    auto* view = widget ? dynamic_cast<QtFormView*>(widget->window()) : nullptr;
    const std::optional<Control> id = view ? view->control_of(widget) : std::nullopt;
    const std::optional<Accessible> seen = id ? accessible(*id) : std::nullopt;
    if (!seen) return nullptr;
    switch (seen->role) {
        case AccessibleRole::Window: return new QAccessibleWidget(widget, QAccessible::Window);
        // AT-SPI has no title bar, and Qt would call one text: the title strip is a panel there.
        case AccessibleRole::TitleBar:
        case AccessibleRole::Panel: return new QAccessibleWidget(widget, QAccessible::Pane);
        // Through the entry point a click takes, so it waits like a click while a box is open.
        case AccessibleRole::PushButton:
            return new HotSpot(widget, [view, id] { view->form().click(*id); },
                               QString::fromStdString(accessible_shortcut(*id)));
        case AccessibleRole::TextField:
        case AccessibleRole::StaticText: break;
    }
    return nullptr;
}

}  // namespace

void make_accessible(QtFormView& view) {
    QAccessible::installFactory(interface_for);  // once: Qt keeps one of each
    for (std::size_t i = 0; i < kControlCount; ++i) {
        const auto id = static_cast<Control>(i);
        const std::optional<Accessible> seen = accessible(id);
        if (!seen || !view.widget(id)) continue;
        view.widget(id)->setAccessibleName(
            QString::fromUtf8(seen->name.data(), static_cast<qsizetype>(seen->name.size())));
    }
}

}  // namespace vextra::ui::qt
