#pragma once

#include <QString>

namespace ql {

// The folder of the running executable, which holds "Recent.XML" and Quillon.ini. Tests point it
// at a temporary folder.
class ProgramFolder
{
public:
    static QString path();
    static QString filePath(const QString &fileName);

    static void set(const QString &folder);
    static void reset();

private:
    static QString s_override;
};

} // namespace ql
