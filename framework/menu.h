#pragma once

// Menu model: a MenuBar holds MenuItems, each of which may hold more items.
// The model is shared; every window that shows the bar builds its own Qt
// menu bar from it (a Qt menu bar belongs to one window). The framework
// carries out the actions of its standard items: a QuitMenuItem quits, and
// the items named EditUndo, EditCut, EditCopy, EditPaste and EditClear act
// on the focused text field.

#include <QString>

#include <memory>
#include <vector>

class QAction;
class QMenuBar;
class QMenu;
class QWidget;

namespace fw {

class MenuItem {
public:
    MenuItem() = default;
    virtual ~MenuItem() = default;
    MenuItem(const MenuItem&) = delete;
    MenuItem& operator=(const MenuItem&) = delete;

    QString Name() const { return m_name; }
    void setName(const QString& v) { m_name = v; }
    bool AutoEnable() const { return m_autoEnable; }
    void setAutoEnable(bool v) { m_autoEnable = v; }
    QString Text() const { return m_text; }
    void setText(const QString& v) { m_text = v; }
    // The shortcut as written in the menu ("Cmd+Q"); "Cmd" is Ctrl here.
    QString KeyboardShortcut() const { return m_shortcut; }
    void setKeyboardShortcut(const QString& v) { m_shortcut = v; }

    void Append(std::unique_ptr<MenuItem> item);
    // The direct child of that name, or nullptr.
    MenuItem* Child(const QString& name) const;
    // The item of that name among all the items below this one, or nullptr.
    MenuItem* Find(const QString& name) const;
    int Count() const { return int(m_children.size()); }
    MenuItem* Item(int index) const;
    bool isSeparator() const { return m_text == QStringLiteral("-"); }

    // What choosing the item does; the framework's own items act here.
    virtual void action();

private:
    QString m_name, m_text, m_shortcut;
    bool m_autoEnable = false;
    std::vector<std::unique_ptr<MenuItem>> m_children;
};

class QuitMenuItem : public MenuItem {
public:
    void action() override;
};

class MenuBar : public MenuItem {
public:
    // Builds a Qt menu bar for a window from this model.
    QMenuBar* buildQtMenuBar(QWidget* window) const;
    // Gives a window without a visible menu bar the items' shortcuts;
    // returns the actions made (owned by the window).
    std::vector<QAction*> addShortcuts(QWidget* window) const;
};

// Qt key sequence text for a framework shortcut ("Cmd+Q" -> "Ctrl+Q").
QString qtShortcutText(const QString& shortcut);

} // namespace fw
