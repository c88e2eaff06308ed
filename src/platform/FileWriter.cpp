#include "platform/FileWriter.h"

#include "common/Error.h"

#include <QSaveFile>

namespace ql {

void writeFileAtomically(const QString &path, const QByteArray &data)
{
    // A list that was never saved has no file name; QSaveFile would only fail at the end.
    if (path.trimmed().isEmpty())
        throw Error(QStringLiteral("Cannot create file \"%1\". No file name was given").arg(path));
    const FileFault fault = FileFaults::active();
    QSaveFile file(path);
    if (fault == FileFault::CannotCreate || !file.open(QIODevice::WriteOnly)) {
        const QString reason
            = fault == FileFault::CannotCreate ? QStringLiteral("Permission denied") : file.errorString();
        throw Error(QStringLiteral("Cannot create file \"%1\". %2").arg(path, reason));
    }
    if (fault == FileFault::FailsHalfway) {
        file.write(data.constData(), data.size() / 2);
        file.cancelWriting();
        throw Error(QStringLiteral("Error writing file \"%1\". No space left on device").arg(path));
    }
    if (file.write(data) != data.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        throw Error(QStringLiteral("Error writing file \"%1\". %2").arg(path, reason));
    }
    if (fault == FileFault::CannotRename) {
        file.cancelWriting();
        throw Error(QStringLiteral("Cannot rename the temporary file to \"%1\".").arg(path));
    }
    if (!file.commit())
        throw Error(QStringLiteral("Error writing file \"%1\". %2").arg(path, file.errorString()));
}

} // namespace ql
