#pragma once

// Files and text streams. A bare name given to GetFolderItem lives in the
// per-user configuration folder. CreateTextFile writes through a temporary
// file in the same folder and replaces the target only when the stream
// closes, so a failed write never leaves a truncated file; the failure is
// reported by Close.

#include <QString>

#include <functional>
#include <memory>

class QSaveFile;

namespace fw {

class Picture;
class Sound;

class TextInputStream {
public:
    explicit TextInputStream(QByteArray data) : m_data(std::move(data)) {}
    // The whole remaining text (UTF-8).
    QString ReadAll();
    // The framework's EOF (EOF itself is a C macro).
    bool isEOF() const { return m_pos >= m_data.size(); }

private:
    QByteArray m_data;
    qsizetype m_pos = 0;
};

class TextOutputStream {
public:
    explicit TextOutputStream(std::unique_ptr<QSaveFile> file);
    ~TextOutputStream();
    TextOutputStream(const TextOutputStream&) = delete;
    TextOutputStream& operator=(const TextOutputStream&) = delete;

    // Adds the text as it is (UTF-8, no BOM, nothing appended).
    void Write(const QString& text);
    // Replaces the target with what was written; false when anything failed,
    // and then the old file stays as it was.
    bool Close();
    // Why the last Write or Close failed; empty when nothing failed.
    QString errorString() const { return m_error; }

private:
    std::unique_ptr<QSaveFile> m_file;
    QString m_error;
    bool m_closed = false;
};

class FolderItem {
public:
    explicit FolderItem(QString path) : m_path(std::move(path)) {}

    QString path() const { return m_path; }
    QString Name() const;
    bool Exists() const;
    bool Directory() const;
    std::shared_ptr<FolderItem> Child(const QString& name) const;
    std::shared_ptr<FolderItem> Parent() const;

    // Each gives nullptr when the file is missing or unreadable; a text file
    // must be a regular file (see lastError). For a sound, why (when given)
    // gets the reason.
    std::shared_ptr<Sound> OpenAsSound(QString* why = nullptr) const;
    std::shared_ptr<Picture> OpenAsPicture() const;
    // A text file longer than maxBytes (when given) is not read.
    std::shared_ptr<TextInputStream> OpenAsTextFile(qint64 maxBytes = -1) const;
    // Creates or replaces the file on Close; nullptr when it cannot: the
    // name is a folder, a named pipe or a device (never replaced), the file
    // is not writable, or its folder is missing or cannot be written.
    std::shared_ptr<TextOutputStream> CreateTextFile() const;
    // Why the last OpenAsTextFile or CreateTextFile failed, in words that
    // follow "could not be read: " or "could not be saved: ".
    QString lastError() const { return m_error; }

private:
    QString m_path;
    mutable QString m_error;
};

// Path type 0: a bare name is looked up in the configuration folder (made
// when missing); an absolute path is taken as it is.
std::shared_ptr<FolderItem> GetFolderItem(const QString& name, int pathType = 0);

// The program's Resources folder: its folder's parent's child "Resources";
// nullptr when it does not exist. Tests may point it elsewhere.
std::shared_ptr<FolderItem> _GetApplicationBundleResources();
void setResourcesFolder(const QString& path);  // empty: back to the default

// The configuration folder that bare names resolve to, made when missing:
// $XDG_CONFIG_HOME/Quorvel when that is an absolute path, else
// <home>/.config/Quorvel. The home is $HOME when set, else the password
// database's; it must be an existing folder other than "/", or there is no
// configuration folder (empty, and GetFolderItem gives no reference for a
// bare name).
QString configFolder();
// Why the last configFolder() gave none or could not make it, in words that
// follow "could not be saved: "; empty when it is there.
QString configFolderProblem();

// Tests stand in for the password database's home of the user.
using PasswordHomeLookup = std::function<QString()>;
PasswordHomeLookup setPasswordHomeLookup(PasswordHomeLookup lookup);

} // namespace fw
