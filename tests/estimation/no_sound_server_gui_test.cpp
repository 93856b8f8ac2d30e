// Without a sound server the program still runs a whole estimation by both
// methods: two copies of the real program, each on a private X server, get
// the same keys and clicks, one with a private PulseAudio and one with no
// sound server at all. Their windows must look the same after each run, and
// the silent one says once on standard error that the cues are silent; no
// message of the audio libraries reaches the terminal.

#include "tests/support/main_window.h"
#include "tests/support/main_window_screen.h"
#include "tests/support/private_pulse.h"
#include "tests/support/real_desktop.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QThread>

#include <memory>

namespace {

using namespace quorvel::test;


const QByteArray kSilentLine =
    "Quorvel: no sound device could be opened; the cue sounds and the spoken digits are silent.\n";

struct Copy {
    PrivateXServer x;
    std::unique_ptr<RealProgram> program;
    unsigned long window = 0;
};

class NoSoundServer : public PrivateConfigTest {
protected:
    // A click at a layout place of both main windows.
    void click(QPoint at)
    {
        for (Copy* c : {&withSound, &silent})
            ASSERT_TRUE(clickInContent(c->x.display(), c->window, at, 5000));
    }
    // Start in both, then the history takes the focus and lets every key
    // through.
    void start()
    {
        for (Copy* c : {&withSound, &silent})
            ASSERT_TRUE(pressStart(c->x.display(), c->window, 10000)) << "Start did not run";
        click(kHistoryField);
    }
    // Keys to both copies, each after the half-second wait of the one before;
    // what the screen shows does not depend on the announcement's end.
    void keys(const QString& script)
    {
        for (const QChar k : script) {
            for (Copy* c : {&withSound, &silent})
                tapKey(c->x.display(), QString(k));
            QThread::msleep(800);
        }
    }
    // After the last announcement (up to three digits, about 0.55 s each).
    void expectSameScreens(const char* when)
    {
        QThread::msleep(2000);
        const QImage a = grabWindow(withSound.x.display(), withSound.window);
        const QImage b = grabWindow(silent.x.display(), silent.window);
        ASSERT_FALSE(a.isNull());
        if (a != b) {
            const QString dir = QDir::temp().filePath(QStringLiteral("quorvel-no-sound-server"));
            QDir().mkpath(dir);
            a.save(dir + QStringLiteral("/%1-with-sound.png").arg(QString::fromLatin1(when)));
            b.save(dir + QStringLiteral("/%1-silent.png").arg(QString::fromLatin1(when)));
            ADD_FAILURE() << "the windows differ " << when << "; both grabbed to " << dir.toStdString();
        }
    }

    Copy withSound, silent;
};

TEST_F(NoSoundServer, AWholeRunByBothMethodsLooksTheSameAsWithSound)
{
    QString why;
    PrivatePulseAudio pulse;
    ASSERT_TRUE(pulse.start(&why)) << why.toStdString();
    QTemporaryDir silentRuntime;
    ASSERT_TRUE(silentRuntime.isValid());
    QStringList fields = defaultPrefsFields();
    fields[3] = QStringLiteral("100");  // the voice up, so the digits set the pace
    writePrefsFile(configHome(), fields);

    for (Copy* c : {&withSound, &silent}) {
        ASSERT_TRUE(c->x.start(&why)) << why.toStdString();
        c->program = std::make_unique<RealProgram>(c->x, configHome());
    }
    pulse.addClientEnvironment(withSound.program->environment());
    QProcessEnvironment& env = silent.program->environment();
    env.insert(QStringLiteral("PULSE_SERVER"), QStringLiteral("unix:") + silentRuntime.filePath(QStringLiteral("none")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), silentRuntime.path());
    // A machine with a sound card would be heard through ALSA.
    if (QFileInfo::exists(QStringLiteral("/dev/snd")))
        env.insert(QStringLiteral("ALSOFT_DRIVERS"), QStringLiteral("pulse"));

    for (Copy* c : {&withSound, &silent}) {
        ASSERT_TRUE(c->program->start(&why)) << why.toStdString();
        c->window = c->program->waitForWindow(QString::fromLatin1(kMainWindowTitle), 30000);
        ASSERT_NE(c->window, 0UL) << c->program->standardError().toStdString();
    }

    // Adaptive PEST, then Maximum-Likelihood PEST.
    ASSERT_NO_FATAL_FAILURE(start());
    QThread::msleep(300);
    const QImage before = grabWindow(silent.x.display(), silent.window);
    keys(QStringLiteral("nnnyynynnyny"));
    EXPECT_NE(grabWindow(silent.x.display(), silent.window), before) << "the keys ran no trial";
    expectSameScreens("adaptive");
    ASSERT_NO_FATAL_FAILURE(click(kResetButton));
    ASSERT_NO_FATAL_FAILURE(click(kMethodBox));
    ASSERT_NO_FATAL_FAILURE(start());
    keys(QStringLiteral("yynnynnyyn"));
    expectSameScreens("likelihood");

    for (Copy* c : {&withSound, &silent}) {
        tapKey(c->x.display(), QStringLiteral("ctrl+q"));
        int exitCode = -1;
        EXPECT_TRUE(c->program->waitForExit(10000, &exitCode));
        EXPECT_EQ(exitCode, 0);
    }
    EXPECT_EQ(withSound.program->standardError(), QByteArray()) << withSound.program->standardError().toStdString();
    EXPECT_EQ(silent.program->standardError(), kSilentLine);
}

} // namespace
