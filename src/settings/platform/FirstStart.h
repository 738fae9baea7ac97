#pragma once
// The first-start file-type registrations: on Linux a shared-mime-info package and a desktop
// entry under the user's XDG data folder, so the five file types (".MTF", ".CAL", ".CSM",
// ".MFR", ".SMR") open with the program from a file manager. A missing registration also
// marks the start as a first start (the main window then offers its shortcuts).
//
// Thread: UI thread only.

#include <QString>

namespace fim {

class Prompter;

struct FileTypeInfo {
    const char* extension;  // upper case, without the dot
    const char* mimeType;
    int message;  // catalog text describing the type
};

// The five types in registration order.
extern const FileTypeInfo kRegisteredFileTypes[5];

class FileTypeRegistrar {
  public:
    // `dataHome`: the XDG data folder ($XDG_DATA_HOME, else ~/.local/share); `program`: the
    // program file that opens the files. Tests pass a temporary folder.
    FileTypeRegistrar(QString dataHome, QString program);
    // The user's data folder and this program.
    FileTypeRegistrar();

    // True when the MIME package or the desktop entry is missing.
    bool Missing() const;

    // Writes the MIME package and the desktop entry (each replaces its file only when
    // complete), asks the desktop's caches to refresh when their tools are installed (without
    // waiting for them), then shows message 243 captioned 244. When a file cannot be written,
    // message 4 is shown instead and false returned; nothing half-written stays behind.
    bool Register(Prompter& prompter) const;

    QString MimePackagePath() const;
    QString DesktopEntryPath() const;

    // The texts written, for inspection.
    QString MimePackage() const;
    QString DesktopEntry() const;

  private:
    QString dataHome_;
    QString program_;
};

// Registers the file types when they are missing. Returns true when they were missing (the
// start then counts as a first start), whether or not writing them succeeded.
bool RegisterFileTypesIfMissing(const FileTypeRegistrar& registrar, Prompter& prompter);

// The XDG data folder: $XDG_DATA_HOME when set to an absolute path, else ~/.local/share.
QString UserDataHome();

}  // namespace fim
