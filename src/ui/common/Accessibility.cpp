#include "ui/common/Accessibility.h"

#include <QAccessible>
#include <QAccessibleObject>
#include <QAccessibleWidget>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>

namespace kivo {

namespace {

// Qt 6.4 names a combo box after its current text, so "Kivo" would be lost.
class ChooserInterface : public QAccessibleWidget {
public:
    explicit ChooserInterface(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

    QString text(QAccessible::Text t) const override {
        auto* box = static_cast<QComboBox*>(widget());
        if (t == QAccessible::Name) return box->accessibleName();
        if (t == QAccessible::Value) return box->currentText();
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.expandable = true;
        return s;
    }
    QStringList actionNames() const override {
        return QStringList{showMenuAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& action) override {
        if (action == showMenuAction() || action == pressAction()) {
            static_cast<QComboBox*>(widget())->showPopup();
            return;
        }
        QAccessibleWidget::doAction(action);
    }
};

// A read-only box: Qt 6.4 reports every line edit editable.
class ReadOnlyBoxInterface : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit ReadOnlyBoxInterface(QLineEdit* box) : QAccessibleWidget(box, QAccessible::EditableText) {}

    QLineEdit* box() const { return static_cast<QLineEdit*>(widget()); }

    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) return box()->text();
        if (t == QAccessible::Name && box()->accessibleName().isEmpty()) return box()->text();
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        s.editable = false;
        return s;
    }

    // The text, to read and select, never to change.
    void selection(int index, int* start, int* end) const override {
        *start = *end = 0;
        if (index == 0 && box()->hasSelectedText()) {
            *start = box()->selectionStart();
            *end = *start + static_cast<int>(box()->selectedText().size());
        }
    }
    int selectionCount() const override { return box()->hasSelectedText() ? 1 : 0; }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int) override { box()->deselect(); }
    void setSelection(int, int start, int end) override { box()->setSelection(start, end - start); }
    int cursorPosition() const override { return box()->cursorPosition(); }
    void setCursorPosition(int position) override { box()->setCursorPosition(position); }
    QString text(int start, int end) const override { return box()->text().mid(start, end - start); }
    int characterCount() const override { return static_cast<int>(box()->text().size()); }
    QRect characterRect(int) const override { return QRect(); }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int start, int) override { box()->setCursorPosition(start); }
    QString attributes(int offset, int* start, int* end) const override {
        *start = *end = offset;
        return QString();
    }
};

// Qt 6.4 leaves popup windows out of the application's children, so a
// screen reader walking down from the application never finds an open
// menu (the bind menu). Open menus follow the other windows.
class ApplicationInterface : public QAccessibleApplication {
public:
    int childCount() const override {
        return QAccessibleApplication::childCount() + static_cast<int>(OpenMenus().size());
    }
    QAccessibleInterface* child(int index) const override {
        const int windows = QAccessibleApplication::childCount();
        if (index < windows) return QAccessibleApplication::child(index);
        const QList<QWidget*> menus = OpenMenus();
        index -= windows;
        return index < menus.size() ? QAccessible::queryAccessibleInterface(menus[index]) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        const int found = QAccessibleApplication::indexOfChild(child);
        if (found >= 0 || child == nullptr) return found;
        const int menu = static_cast<int>(OpenMenus().indexOf(qobject_cast<QWidget*>(child->object())));
        return menu < 0 ? -1 : QAccessibleApplication::childCount() + menu;
    }

private:
    static QList<QWidget*> OpenMenus() {
        QList<QWidget*> menus;
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (top->isVisible() && qobject_cast<QMenu*>(top) != nullptr) menus << top;
        }
        return menus;
    }
};

QAccessibleInterface* Factory(const QString& className, QObject* object) {
    if (className == QLatin1String("QApplication") && object == qApp) return new ApplicationInterface;
    if (className == QLatin1String("kivo::SetChooser")) {
        return new ChooserInterface(static_cast<QComboBox*>(object));
    }
    if (className == QLatin1String("QLineEdit")) {
        auto* box = static_cast<QLineEdit*>(object);
        if (box->isReadOnly()) return new ReadOnlyBoxInterface(box);
    }
    return nullptr;
}

}  // namespace

void InstallAccessibleInterfaces() {
    // The factory installed last is asked first, and Qt installs its own
    // for the widgets when the application starts: this one moves behind it.
    QAccessible::removeFactory(Factory);
    QAccessible::installFactory(Factory);
}

// Before the first window, and before assistive technology first asks for
// the application.
Q_COREAPP_STARTUP_FUNCTION(InstallAccessibleInterfaces)

void SetBoxReadOnly(QLineEdit* box, bool readOnly) {
    InstallAccessibleInterfaces();
    if (box->isReadOnly() == readOnly) return;
    box->setReadOnly(readOnly);
    // The interface is cached for the widget's life; the next query
    // builds one for the new state.
    const QAccessible::Id id = QAccessible::uniqueId(QAccessible::queryAccessibleInterface(box));
    QAccessible::deleteAccessibleInterface(id);
}

}  // namespace kivo
