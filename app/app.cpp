#include "app/app.h"

#include "framework/core/nil.h"

namespace FileTypes {

std::unique_ptr<fw::FileType> pText;

void _Initialize()
{
    pText = std::make_unique<fw::FileType>();
    pText->setName(QStringLiteral("text"));
    pText->setExtensions(QString());
    pText->setMacType(QStringLiteral("TEXT"));
    pText->setMacCreator(QStringLiteral("R*ch"));
    // Converting it to String registers the type with the framework.
    (void)pText->toString();
}

} // namespace FileTypes

namespace {

MenuBar1* g_menuBar = nullptr;

// Makes one item: Name, AutoEnable, Text, then the shortcut unless the item
// has none at all (the separator).
template <class Item = fw::MenuItem>
std::unique_ptr<fw::MenuItem> makeItem(const QString& name, const QString& text, const QString* shortcut)
{
    auto item = std::make_unique<Item>();
    item->setName(name);
    item->setAutoEnable(true);
    item->setText(text);
    if (shortcut)
        item->setKeyboardShortcut(*shortcut);
    return item;
}

} // namespace

MenuBar1* MenuBar1::instance()
{
    if (!g_menuBar) {
        g_menuBar = new MenuBar1;
        g_menuBar->Constructor();
    }
    return g_menuBar;
}

void MenuBar1::releaseInstance()
{
    delete g_menuBar;
    g_menuBar = nullptr;
}

bool MenuBar1::exists()
{
    return g_menuBar != nullptr;
}

void MenuBar1::Constructor()
{
    Untitled1();
    Untitled2();
}

void MenuBar1::Untitled1()
{
    const QString none, quit = QStringLiteral("Cmd+Q");
    Append(makeItem(QStringLiteral("FileMenu"), QStringLiteral("&File"), &none));
    fw::nn(Child(QStringLiteral("FileMenu")))
        ->Append(makeItem<fw::QuitMenuItem>(QStringLiteral("FileQuit"), QStringLiteral("Quit"), &quit));
}

void MenuBar1::Untitled2()
{
    const QString none, undo = QStringLiteral("Cmd+Z"), cut = QStringLiteral("Cmd+X"),
                        copy = QStringLiteral("Cmd+C"), paste = QStringLiteral("Cmd+V");
    Append(makeItem(QStringLiteral("EditMenu"), QStringLiteral("&Edit"), &none));
    struct Entry {
        const char* name;
        const char* text;
        const QString* shortcut;
    };
    const Entry entries[] = {
        {"EditUndo", "&Undo", &undo},   {"UntitledMenu0", "-", nullptr}, {"EditCut", "Cu&t", &cut},
        {"EditCopy", "&Copy", &copy},   {"EditPaste", "&Paste", &paste}, {"EditClear", "Clear", &none},
    };
    for (const Entry& e : entries) {
        auto item = makeItem(QString::fromLatin1(e.name), QString::fromLatin1(e.text), e.shortcut);
        fw::nn(Child(QStringLiteral("EditMenu")))->Append(std::move(item));
    }
}
