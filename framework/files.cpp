#include "framework/files.h"

#include "framework/picture.h"
#include "framework/sound.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fw {
namespace {

QString g_resourcesOverride;

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

std::shared_ptr<Sound> FolderItem::OpenAsSound() const
{
    if (!QFileInfo(m_path).isFile())
        return nullptr;
    return openSound(m_path);
}

std::shared_ptr<Picture> FolderItem::OpenAsPicture() const
{
    if (!QFileInfo(m_path).isFile())
        return nullptr;
    return openPicture(m_path);
}

std::shared_ptr<TextInputStream> FolderItem::OpenAsTextFile() const
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
    QByteArray data = f.readAll();
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
    QString dir = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    if (dir.isEmpty())
        dir = QDir::homePath() + QStringLiteral("/.config/Quorvel");
    QDir().mkpath(dir);
    return dir;
}

std::shared_ptr<FolderItem> GetFolderItem(const QString& name, int /*pathType*/)
{
    if (name.isEmpty())
        return nullptr;
    if (QDir::isAbsolutePath(name))
        return std::make_shared<FolderItem>(name);
    return std::make_shared<FolderItem>(QDir(configFolder()).filePath(name));
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
