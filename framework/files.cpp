#include "framework/files.h"

#include "framework/picture.h"
#include "framework/sound.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fw {
namespace {

QString g_resourcesOverride;
PasswordHomeLookup g_passwordHome;

// The configuration folder last asked for, and why it is not there (empty
// when it is).
struct ConfigFolder {
    QString path;
    QString problem;
};
ConfigFolder g_config;

// The home folder that the password database gives the user running us.
QString passwordHome()
{
    if (g_passwordHome)
        return g_passwordHome();
    const struct passwd* entry = getpwuid(getuid());
    return entry && entry->pw_dir ? QFile::decodeName(entry->pw_dir) : QString();
}

// The user's home: $HOME when it is set, else the password database's. It
// must be an existing folder other than the root of the file system, so the
// settings never land in "/" or in a folder made up on the spot; empty, with
// the reason, when it is not.
QString usableHome(QString* why)
{
    const QString env = qEnvironmentVariable("HOME");
    const bool fromEnv = !env.isEmpty();
    const QString home = fromEnv ? env : passwordHome();
    const QString clean = QDir::cleanPath(home);
    QString what;
    if (home.isEmpty())
        what = QStringLiteral("HOME is not set and the password database gives none");
    else if (!QDir::isAbsolutePath(home) || clean == QStringLiteral("/") || !QFileInfo(clean).isDir())
        what = QStringLiteral("%1 gives \u201C%2\u201D%3")
                   .arg(fromEnv ? QStringLiteral("HOME") : QStringLiteral("HOME is not set and the password database"),
                        home,
                        !QDir::isAbsolutePath(home) || clean == QStringLiteral("/") ? QString()
                        : QFileInfo::exists(clean) ? QStringLiteral(", which is not a folder")
                                                   : QStringLiteral(", which does not exist"));
    if (what.isEmpty())
        return clean;
    *why = QStringLiteral("there is no home folder to keep the settings in (%1)").arg(what);
    return {};
}

// Makes the folder and whatever parents it lacks, as mkdir -p does; the
// system's reason for the first one that cannot be made (permission denied,
// a read-only file system), or the file that stands in the way.
QString makeFolder(const QString& path)
{
    QString at;
    for (const QString& part : QDir::cleanPath(path).split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        at += QLatin1Char('/') + part;
        const QByteArray name = QFile::encodeName(at);
        if (mkdir(name.constData(), 0777) == 0)
            continue;
        const int error = errno;
        struct stat st {};
        if (stat(name.constData(), &st) == 0) {
            if (S_ISDIR(st.st_mode))
                continue;
            return QStringLiteral("the folder \u201C%1\u201D cannot be made: \u201C%2\u201D is a file, not a folder")
                .arg(path, at);
        }
        return QStringLiteral("the folder \u201C%1\u201D cannot be made: %2").arg(at, qt_error_string(error));
    }
    return {};
}

// Why a write failed. Qt gives "Unknown error" when the file system refused
// a buffered write (disk full, file too large); the system's reason says more.
QString failure(const QFileDevice& file, int error)
{
    const QString qt = file.errorString();
    if (error != 0 && (qt.isEmpty() || qt == QStringLiteral("Unknown error")))
        return qt_error_string(error);
    return qt;
}

// Why a path that is there cannot be taken as a text file; empty when it can.
QString notAFile(const QFileInfo& info)
{
    if (info.isDir())
        return QStringLiteral("it is a folder, not a file");
    if (!info.isFile())
        return QStringLiteral("it is not a regular file");
    return {};
}

// What keeps a new file from being made in the folder; empty when nothing
// does. A file is made and removed to find out, so the reason is the
// system's own (permission denied, read-only file system, no space left).
QString folderProblem(const QString& folder)
{
    // The configuration folder says why it could not be made.
    if (!g_config.problem.isEmpty() && QDir::cleanPath(folder) == QDir::cleanPath(g_config.path))
        return g_config.problem;
    const QByteArray name = QFile::encodeName(folder);
    struct stat st {};
    if (stat(name.constData(), &st) != 0) {
        if (errno == ENOENT)
            return QStringLiteral("the folder \u201C%1\u201D does not exist").arg(folder);
        return QStringLiteral("the folder \u201C%1\u201D cannot be reached: %2").arg(folder, qt_error_string(errno));
    }
    if (!S_ISDIR(st.st_mode))
        return QStringLiteral("\u201C%1\u201D is not a folder").arg(folder);
    QByteArray probe = name + "/.quorvel-XXXXXX";
    const int fd = mkstemp(probe.data());
    if (fd < 0)
        return QStringLiteral("the folder \u201C%1\u201D cannot be written: %2").arg(folder, qt_error_string(errno));
    close(fd);
    unlink(probe.constData());
    return {};
}

} // namespace

QString TextInputStream::ReadAll()
{
    const QString text = QString::fromUtf8(m_data.constData() + m_pos, m_data.size() - m_pos);
    m_pos = m_data.size();
    return text;
}

TextOutputStream::TextOutputStream(std::unique_ptr<QSaveFile> file) : m_file(std::move(file)) {}

TextOutputStream::~TextOutputStream()
{
    // A stream dropped without Close still saves what was written.
    if (!m_closed)
        Close();
}

void TextOutputStream::Write(const QString& text)
{
    if (m_closed || !m_error.isEmpty())
        return;
    const QByteArray bytes = text.toUtf8();
    errno = 0;
    if (m_file->write(bytes) != bytes.size())
        m_error = failure(*m_file, errno);
}

bool TextOutputStream::Close()
{
    if (m_closed)
        return m_error.isEmpty();
    m_closed = true;
    // A failed final write shows only in flush(); commit() alone would report
    // success and leave an empty file.
    errno = 0;
    if (m_error.isEmpty() && !m_file->flush())
        m_error = failure(*m_file, errno);
    if (!m_error.isEmpty()) {
        m_file->cancelWriting();
        m_file->commit();
        return false;
    }
    errno = 0;
    if (!m_file->commit()) {
        m_error = failure(*m_file, errno);
        return false;
    }
    return true;
}

QString FolderItem::Name() const
{
    return QFileInfo(m_path).fileName();
}

bool FolderItem::Exists() const
{
    return QFileInfo::exists(m_path);
}

bool FolderItem::Directory() const
{
    return QFileInfo(m_path).isDir();
}

std::shared_ptr<FolderItem> FolderItem::Child(const QString& name) const
{
    return std::make_shared<FolderItem>(QDir(m_path).filePath(name));
}

std::shared_ptr<FolderItem> FolderItem::Parent() const
{
    const QFileInfo info(m_path);
    const QString parent = info.absolutePath();
    if (parent == info.absoluteFilePath())
        return nullptr;
    return std::make_shared<FolderItem>(parent);
}

std::shared_ptr<Sound> FolderItem::OpenAsSound(QString* why) const
{
    const QFileInfo info(m_path);
    if (!info.isFile()) {
        if (why)
            *why = info.exists() ? QStringLiteral("it is not a file") : QStringLiteral("it is missing");
        return nullptr;
    }
    return openSound(m_path, why);
}

std::shared_ptr<Picture> FolderItem::OpenAsPicture() const
{
    if (!QFileInfo(m_path).isFile())
        return nullptr;
    return openPicture(m_path);
}

std::shared_ptr<TextInputStream> FolderItem::OpenAsTextFile(qint64 maxBytes) const
{
    m_error.clear();
    const QFileInfo info(m_path);
    if (!info.exists()) {
        m_error = info.isSymLink() ? QStringLiteral("it is a link to nothing") : qt_error_string(ENOENT);
        return nullptr;
    }
    // Checked before opening: a named pipe would block, a device never end.
    if (m_error = notAFile(info); !m_error.isEmpty())
        return nullptr;
    QFile f(m_path);
    if (!f.open(QIODevice::ReadOnly)) {
        m_error = f.errorString();
        return nullptr;
    }
    errno = 0;
    // One byte past the limit tells a file that is too long, whatever its
    // size said a moment ago.
    QByteArray data = maxBytes >= 0 ? f.read(maxBytes + 1) : f.readAll();
    if (f.error() == QFileDevice::NoError && maxBytes >= 0 && data.size() > maxBytes) {
        m_error = QStringLiteral("it is too large (%1 bytes, more than %2)")
                      .arg(QString::number(info.size()), QString::number(maxBytes));
        return nullptr;
    }
    if (f.error() != QFileDevice::NoError) {
        m_error = failure(f, errno);
        return nullptr;
    }
    return std::make_shared<TextInputStream>(std::move(data));
}

std::shared_ptr<TextOutputStream> FolderItem::CreateTextFile() const
{
    m_error.clear();
    // The file that will be replaced: a link is followed, as the save does.
    QFileInfo target(m_path);
    for (int depth = 0; depth < 64 && target.isSymLink(); ++depth)
        target.setFile(target.symLinkTarget());
    if (target.exists()) {
        // Never replace a folder, a named pipe or a device by a file.
        if (m_error = notAFile(target); !m_error.isEmpty())
            return nullptr;
        if (faccessat(AT_FDCWD, QFile::encodeName(target.absoluteFilePath()).constData(), W_OK, AT_EACCESS) != 0) {
            m_error = qt_error_string(errno);
            return nullptr;
        }
    }
    auto file = std::make_unique<QSaveFile>(m_path);
    if (!file->open(QIODevice::WriteOnly)) {
        // Qt's reason may be about its temporary file, under another name.
        m_error = folderProblem(target.absolutePath());
        if (m_error.isEmpty())
            m_error = file->errorString();
        return nullptr;
    }
    return std::make_shared<TextOutputStream>(std::move(file));
}

QString configFolder()
{
    ConfigFolder& c = g_config;
    c.problem.clear();
    const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (QDir::isAbsolutePath(xdg)) {
        c.path = QDir(xdg).filePath(QCoreApplication::applicationName());
    } else {
        const QString home = usableHome(&c.problem);
        c.path = home.isEmpty() ? QString() : home + QStringLiteral("/.config/") + QCoreApplication::applicationName();
    }
    if (!c.path.isEmpty())
        c.problem = makeFolder(c.path);
    return c.path;
}

QString configFolderProblem()
{
    return g_config.problem;
}

PasswordHomeLookup setPasswordHomeLookup(PasswordHomeLookup lookup)
{
    PasswordHomeLookup old = std::move(g_passwordHome);
    g_passwordHome = std::move(lookup);
    return old;
}

std::shared_ptr<FolderItem> GetFolderItem(const QString& name, int /*pathType*/)
{
    if (name.isEmpty())
        return nullptr;
    if (QDir::isAbsolutePath(name))
        return std::make_shared<FolderItem>(name);
    const QString folder = configFolder();
    if (folder.isEmpty())
        return nullptr;
    return std::make_shared<FolderItem>(QDir(folder).filePath(name));
}

std::shared_ptr<FolderItem> _GetApplicationBundleResources()
{
    QString path = g_resourcesOverride;
    if (path.isEmpty()) {
        QDir dir(QCoreApplication::applicationDirPath());
        if (!dir.cdUp())
            return nullptr;
        path = dir.filePath(QStringLiteral("Resources"));
    }
    if (!QFileInfo(path).isDir())
        return nullptr;
    return std::make_shared<FolderItem>(path);
}

void setResourcesFolder(const QString& path)
{
    g_resourcesOverride = path;
}

} // namespace fw
