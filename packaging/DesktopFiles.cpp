// Writes the installed program's desktop entry and MIME package: the same texts that the first
// start of a program run from its build tree registers for its user, with the installed `fim`
// found on the PATH.
//   fim_desktop_files OUT.desktop OUT.xml

#include <QFile>
#include <QString>
#include <cstdio>

#include "settings/platform/FirstStart.h"
#include "shell/Catalog.h"

namespace {

bool Write(const char* path, const QString& text) {
    QFile f(QString::fromLocal8Bit(path));
    const QByteArray data = text.toUtf8();
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: fim_desktop_files OUT.desktop OUT.xml\n");
        return 2;
    }
    fim::BuildCatalog();
    const fim::FileTypeRegistrar installed(QString(), QStringLiteral("fim"));
    if (!Write(argv[1], installed.DesktopEntry()) || !Write(argv[2], installed.MimePackage())) {
        std::fprintf(stderr, "fim_desktop_files: cannot write %s or %s\n", argv[1], argv[2]);
        return 1;
    }
    return 0;
}
