#include "framework/menu.h"

#include "framework/application.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>

namespace fw {
namespace {

enum class EditCommand { None, Undo, Cut, Copy, Paste, Clear };

EditCommand editCommand(const QString& name)
{
    if (name == QStringLiteral("EditUndo")) return EditCommand::Undo;
    if (name == QStringLiteral("EditCut")) return EditCommand::Cut;
    if (name == QStringLiteral("EditCopy")) return EditCommand::Copy;
    if (name == QStringLiteral("EditPaste")) return EditCommand::Paste;
    if (name == QStringLiteral("EditClear")) return EditCommand::Clear;
    return EditCommand::None;
}

// Whether the command can act on the focused text field now.
bool editEnabled(EditCommand cmd)
{
    QWidget* focus = QApplication::focusWidget();
    const bool clip = !QApplication::clipboard()->text().isEmpty();
    if (auto* line = qobject_cast<QLineEdit*>(focus)) {
        const bool sel = line->hasSelectedText();
        const bool rw = !line->isReadOnly();
        switch (cmd) {
        case EditCommand::Undo: return rw && line->isUndoAvailable();
        case EditCommand::Cut: return rw && sel;
        case EditCommand::Copy: return sel;
        case EditCommand::Paste: return rw && clip;
        case EditCommand::Clear: return rw && sel;
        case EditCommand::None: return true;
        }
    }
    if (auto* text = qobject_cast<QPlainTextEdit*>(focus)) {
        const bool sel = text->textCursor().hasSelection();
        const bool rw = !text->isReadOnly();
        switch (cmd) {
        case EditCommand::Undo: return rw && text->document()->isUndoAvailable();
        case EditCommand::Cut: return rw && sel;
        case EditCommand::Copy: return sel;
        case EditCommand::Paste: return rw && clip;
        case EditCommand::Clear: return rw && sel;
        case EditCommand::None: return true;
        }
    }
    return cmd == EditCommand::None;
}

void runEdit(EditCommand cmd)
{
    if (!editEnabled(cmd))
        return;
    QWidget* focus = QApplication::focusWidget();
    if (auto* line = qobject_cast<QLineEdit*>(focus)) {
        switch (cmd) {
        case EditCommand::Undo: line->undo(); break;
        case EditCommand::Cut: line->cut(); break;
        case EditCommand::Copy: line->copy(); break;
        case EditCommand::Paste: line->paste(); break;
        case EditCommand::Clear: line->del(); break;
        case EditCommand::None: break;
        }
    } else if (auto* text = qobject_cast<QPlainTextEdit*>(focus)) {
        switch (cmd) {
        case EditCommand::Undo: text->undo(); break;
        case EditCommand::Cut: text->cut(); break;
        case EditCommand::Copy: text->copy(); break;
        case EditCommand::Paste: text->paste(); break;
        case EditCommand::Clear: text->textCursor().removeSelectedText(); break;
        case EditCommand::None: break;
        }
    }
}

// The Qt action of one item: its text, name and shortcut, carrying out the
// item's action for the window.
QAction* makeAction(MenuItem* item, QObject* parent, QWidget* window)
{
    auto* act = new QAction(item->Text(), parent);
    act->setObjectName(item->Name());
    if (!item->KeyboardShortcut().isEmpty())
        act->setShortcut(QKeySequence(qtShortcutText(item->KeyboardShortcut())));
    QObject::connect(act, &QAction::triggered, window, [item] { dispatch([item] { item->action(); }); });
    return act;
}

void addItems(QMenu* menu, const MenuItem& parent, QWidget* window)
{
    for (int i = 0; i < parent.Count(); ++i) {
        MenuItem* item = parent.Item(i);
        if (item->isSeparator()) {
            menu->addSeparator();
            continue;
        }
        if (item->Count() > 0) {
            addItems(menu->addMenu(item->Text()), *item, window);
            continue;
        }
        QAction* act = makeAction(item, menu, window);
        menu->addAction(act);
        if (item->AutoEnable() && editCommand(item->Name()) != EditCommand::None) {
            const EditCommand cmd = editCommand(item->Name());
            QObject::connect(menu, &QMenu::aboutToShow, act, [act, cmd] { act->setEnabled(editEnabled(cmd)); });
            QObject::connect(menu, &QMenu::aboutToHide, act, [act] { act->setEnabled(true); });
        }
    }
}

} // namespace

void MenuItem::Append(std::unique_ptr<MenuItem> item)
{
    m_children.push_back(std::move(item));
}

MenuItem* MenuItem::Child(const QString& name) const
{
    for (const auto& c : m_children)
        if (c->Name() == name)
            return c.get();
    return nullptr;
}

MenuItem* MenuItem::Find(const QString& name) const
{
    for (const auto& c : m_children) {
        if (c->Name() == name)
            return c.get();
        if (MenuItem* below = c->Find(name))
            return below;
    }
    return nullptr;
}

MenuItem* MenuItem::Item(int index) const
{
    return index >= 0 && index < Count() ? m_children[size_t(index)].get() : nullptr;
}

void MenuItem::action()
{
    runEdit(editCommand(m_name));
}

void QuitMenuItem::action()
{
    Quit(0);
}

QMenuBar* MenuBar::buildQtMenuBar(QWidget* window) const
{
    auto* bar = new QMenuBar(window);
    for (int i = 0; i < Count(); ++i) {
        MenuItem* top = Item(i);
        QMenu* menu = bar->addMenu(top->Text());
        menu->setObjectName(top->Name());
        addItems(menu, *top, window);
    }
    return bar;
}

std::vector<QAction*> MenuBar::addShortcuts(QWidget* window) const
{
    std::vector<QAction*> made;
    std::vector<const MenuItem*> todo{this};
    while (!todo.empty()) {
        const MenuItem* parent = todo.back();
        todo.pop_back();
        for (int i = 0; i < parent->Count(); ++i) {
            MenuItem* item = parent->Item(i);
            if (item->Count() > 0) {
                todo.push_back(item);
                continue;
            }
            if (item->KeyboardShortcut().isEmpty())
                continue;
            QAction* act = makeAction(item, window, window);
            window->addAction(act);
            made.push_back(act);
        }
    }
    return made;
}

QString qtShortcutText(const QString& shortcut)
{
    QString s = shortcut;
    s.replace(QStringLiteral("Cmd+"), QStringLiteral("Ctrl+"), Qt::CaseInsensitive);
    return s;
}

} // namespace fw
