#include "app/resources.h"

#include "framework/core/nil.h"
#include "framework/files.h"

#include <QDir>

#include <cstdio>

namespace {

struct SoundCache {
    const char* fileName;
    std::shared_ptr<fw::Sound> permaSound;
    bool loaded = false;
};

// In shut-down order.
SoundCache g_sounds[] = {
    {"s6", {}, false}, {"s7", {}, false}, {"s8", {}, false}, {"s4", {}, false},
    {"s3", {}, false}, {"s1", {}, false}, {"s2", {}, false}, {"s0", {}, false},
    {"s5", {}, false}, {"s9", {}, false}, {"Click", {}, false}, {"ding2", {}, false},
};

std::shared_ptr<fw::Picture> g_pic;

SoundCache& cache(const char* name)
{
    for (SoundCache& c : g_sounds)
        if (qstrcmp(c.fileName, name) == 0)
            return c;
    throw fw::NilObjectException();
}

// A sound is tried once per run, so this says it once per file; the run
// goes on without the sound.
void saySoundFailed(const QString& file, const QString& why)
{
    const QString line = QStringLiteral("Quorvel: the sound file \"%1\" cannot be loaded: %2; it will not be heard.\n")
                             .arg(QDir::toNativeSeparators(file), why.isEmpty() ? QStringLiteral("unknown reason") : why);
    std::fputs(line.toUtf8().constData(), stderr);
    std::fflush(stderr);
}

std::shared_ptr<fw::Sound> accessSound(const char* name)
{
    SoundCache& c = cache(name);
    if (c.loaded)
        return c.permaSound;
    c.loaded = true;  // before any attempt: a failure is not retried
    const auto folder = fw::_GetApplicationBundleResources();
    if (!folder) {
        saySoundFailed(QString::fromLatin1(name), QStringLiteral("there is no Resources folder"));
        return c.permaSound;
    }
    const auto child = fw::nn(folder->Child(QString::fromLatin1(name)));
    QString why;
    c.permaSound = child->OpenAsSound(&why);
    if (!c.permaSound)
        saySoundFailed(child->path(), why);
    return c.permaSound;
}

} // namespace

std::shared_ptr<fw::Sound> s0() { return accessSound("s0"); }
std::shared_ptr<fw::Sound> s1() { return accessSound("s1"); }
std::shared_ptr<fw::Sound> s2() { return accessSound("s2"); }
std::shared_ptr<fw::Sound> s3() { return accessSound("s3"); }
std::shared_ptr<fw::Sound> s4() { return accessSound("s4"); }
std::shared_ptr<fw::Sound> s5() { return accessSound("s5"); }
std::shared_ptr<fw::Sound> s6() { return accessSound("s6"); }
std::shared_ptr<fw::Sound> s7() { return accessSound("s7"); }
std::shared_ptr<fw::Sound> s8() { return accessSound("s8"); }
std::shared_ptr<fw::Sound> s9() { return accessSound("s9"); }
std::shared_ptr<fw::Sound> Click() { return accessSound("Click"); }
std::shared_ptr<fw::Sound> ding2() { return accessSound("ding2"); }

std::shared_ptr<fw::Picture> NewSplash()
{
    if (g_pic)
        return g_pic;
    const auto folder = fw::_GetApplicationBundleResources();
    if (!folder)
        return nullptr;
    g_pic = fw::nn(folder->Child(QStringLiteral("NewSplash.pct")))->OpenAsPicture();
    return g_pic;
}

namespace resources {

QStringList releaseSoundCaches()
{
    QStringList order;
    for (SoundCache& c : g_sounds) {
        c.permaSound.reset();
        order << QString::fromLatin1(c.fileName);
    }
    return order;
}

void resetAll()
{
    for (SoundCache& c : g_sounds) {
        c.permaSound.reset();
        c.loaded = false;
    }
    g_pic.reset();
}

} // namespace resources
