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
    if (!m_file->commit()) {
        m_error = m_file->errorString();
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
    QFile f(m_path);
    if (!QFileInfo(m_path).isFile() || !f.open(QIODevice::ReadOnly)) {
        m_error = f.errorString();
        return nullptr;
    }
    return std::make_shared<TextInputStream>(f.readAll());
}

std::shared_ptr<TextOutputStream> FolderItem::CreateTextFile() const
{
    auto file = std::make_unique<QSaveFile>(m_path);
    if (!file->open(QIODevice::WriteOnly)) {
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
