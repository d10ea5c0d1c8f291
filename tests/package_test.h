#pragma once

#include "version.h"

#include <QLatin1String>
#include <QList>
#include <QString>

// What an installation of Hexlark holds, relative to its prefix: the same
// list for `cmake --install` and for the Debian package.
namespace hexlark::testing {

inline constexpr int kIconSizes[] = {16, 24, 32, 48, 64, 128};

struct InstalledFile
{
    QString rowName;
    QString path;   // relative to the prefix
    QString source; // the file installed as it is; empty for a built program
    int pixels = 0; // width and height of a PNG icon; 0 for anything else
};

inline QString iconThemeDirectory()
{
    return QStringLiteral("share/icons/hicolor");
}

inline QList<InstalledFile> installedFiles(const QString &resourcesDir, const QString &desktopFile,
                                           const QString &metainfoFile)
{
    const QString id = QLatin1String(kDesktopFileName);
    QList<InstalledFile> files{
        {QStringLiteral("program"), QStringLiteral("bin/") + QLatin1String(kExecutableName), {}, 0},
        {QStringLiteral("desktop entry"), QStringLiteral("share/applications/%1.desktop").arg(id),
         desktopFile, 0},
        {QStringLiteral("AppStream record"),
         QStringLiteral("share/metainfo/%1.metainfo.xml").arg(id), metainfoFile, 0},
        {QStringLiteral("scalable icon"),
         QStringLiteral("%1/scalable/apps/%2.svg").arg(iconThemeDirectory(), id),
         resourcesDir + QStringLiteral("/hexlark.svg"), 0},
    };
    for (const int size : kIconSizes) {
        files.append(
            {QStringLiteral("%1 px icon").arg(size),
             QStringLiteral("%1/%2x%2/apps/%3.png").arg(iconThemeDirectory()).arg(size).arg(id),
             resourcesDir + QStringLiteral("/icons/hexlark-%1.png").arg(size), size});
    }
    return files;
}

} // namespace hexlark::testing
