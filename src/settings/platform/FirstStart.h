#pragma once
// The program's file types and its desktop entry. On Linux the first start of a program that is
// not installed registers them under the user's XDG data folder (a shared-mime-info package, a
// desktop entry and the icon), so the files open with the program from a file manager; an
// installed program finds the same files in its installation's share folder. A missing
// registration also marks the start as a first start (the main window then offers its shortcuts).
//
// Thread: UI thread only.

#include <QByteArray>
#include <QString>

namespace fim {

class Prompter;

struct FileTypeInfo {
    const char* extension;  // upper case, without the dot
    const char* mimeType;
    int message;  // catalog text describing the type
};

// The program's own types in registration order.
extern const FileTypeInfo kRegisteredFileTypes[6];

// Types the program opens that belong to others: listed among those it opens, never defined here
// and never claimed as their default handler.
extern const char* const kOpenedForeignTypes[1];

// File name (without extension) of the desktop entry, the MIME package and the icon.
constexpr const char* kDesktopId = "field-impulse-meter";

class FileTypeRegistrar {
  public:
    // `dataHome`: the XDG data folder ($XDG_DATA_HOME, else ~/.local/share); `program`: the
    // program file that opens the files; `refreshCaches`: start the desktop's cache tools after
    // registering. Tests pass a temporary folder and no refresh.
    FileTypeRegistrar(QString dataHome, QString program, bool refreshCaches = true);
    // The user's data folder and this program.
    FileTypeRegistrar();

    // True when the MIME package or the desktop entry is missing.
    bool Missing() const;

    // Writes the MIME package, the desktop entry and the icon (each replaces its file only when
    // complete), asks the desktop's caches to refresh when their tools are installed (without
    // waiting for them), then shows message 243 captioned 244. When a file cannot be written,
    // message 4 is shown instead and false returned; nothing half-written stays behind.
    bool Register(Prompter& prompter) const;

    QString MimePackagePath() const;
    QString DesktopEntryPath() const;
    QString IconPath() const;

    // The texts written, for inspection and for the installation's own copies.
    QString MimePackage() const;
    QString DesktopEntry() const;
    // The program's scalable icon.
    static QByteArray Icon();

  private:
    QString dataHome_;
    QString program_;
    bool refreshCaches_ = true;
};

// Registers the file types when they are missing. Returns true when they were missing (the
// start then counts as a first start), whether or not writing them succeeded.
bool RegisterFileTypesIfMissing(const FileTypeRegistrar& registrar, Prompter& prompter);

// True when the program in `programDir` is installed: the share folder beside its bin folder
// holds the program's desktop entry (as /usr/bin/fim and /usr/share/applications do). A program
// run from its build tree is not.
bool IsInstalledProgram(const QString& programDir);

// The XDG data folder: $XDG_DATA_HOME when set to an absolute path, else ~/.local/share.
QString UserDataHome();

}  // namespace fim
