#pragma once

// Failures injected by strace into a child run of the test executable, for
// tests of a disk that fills up during a write.
//
// strace attaches to the child instead of starting it: a sanitizer build
// checks memory by writing to a pipe and dies when that write fails. So the
// child first does its work once while nothing fails, then calls
// waitForTracer(), and only then does the work that must meet the failure.
// It reports by exit code, since every write (stderr too) may be failing.

#include <QByteArray>
#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <sys/syscall.h>
#include <unistd.h>

namespace quorvel::test {

// getpgid(0) answers this only when the tracer has injected it.
constexpr long kTracerProbeAnswer = 7'777'777;

// The child: says "ready" on its standard output and waits (up to 20 s)
// until the tracer answers the probe. False when no tracer came.
inline bool waitForTracer()
{
    if (write(STDOUT_FILENO, "ready\n", 6) != 6)
        return false;
    for (int i = 0; i < 20'000; ++i) {
        if (syscall(SYS_getpgid, 0) == kTracerProbeAnswer)
            return true;
        usleep(1000);
    }
    return false;
}

// The parent: starts this executable with the arguments and environment,
// waits for its "ready", attaches `strace` with the injection (e.g.
// "inject=write:error=ENOSPC") and the probe's answer, and waits for the
// child. Returns its exit code; -1 when it never got ready or did not end,
// -2 when it crashed. `printed` gets what it wrote before "ready".
inline int runTracedChild(const QString& strace, const QStringList& arguments, const QProcessEnvironment& env,
                          const QString& injection, QByteArray* printed = nullptr)
{
    QProcess child;
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), arguments);
    if (!child.waitForStarted())
        return -1;
    // A test runner may print first; wait for the child's own line.
    QByteArray out;
    while (!out.contains("ready\n") && child.waitForReadyRead(60'000))
        out += child.readAllStandardOutput();
    if (printed)
        *printed = out + child.readAllStandardError();
    if (!out.contains("ready\n")) {
        child.kill();
        child.waitForFinished();
        return -1;
    }
    QProcess tracer;
    tracer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    tracer.start(strace, {QStringLiteral("-qq"), QStringLiteral("-o"), QStringLiteral("/dev/null"), QStringLiteral("-p"),
                          QString::number(child.processId()), QStringLiteral("-e"), injection, QStringLiteral("-e"),
                          QStringLiteral("inject=getpgid:retval=%1").arg(kTracerProbeAnswer)});
    const bool finished = child.waitForFinished(60'000);
    if (!finished) {
        child.kill();
        child.waitForFinished();
    }
    tracer.waitForFinished(10'000);
    if (!finished)
        return -1;
    return child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -2;
}

} // namespace quorvel::test
