#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace quillory {

class SheetRunner;

// The file panels of the add menu: one existing file, no folders, filtered to pictures or
// to documents. The panel is shown through `sheets`, so tests can answer it. Also where every
// file panel of the application starts.
class OpenPanel final
{
public:
    static std::optional<QString> chooseImage(QWidget *parent, const SheetRunner &sheets);
    static std::optional<QString> chooseDocument(QWidget *parent, const SheetRunner &sheets);

    // Where every file panel starts: the user's Documents folder when there is one, else the
    // home folder. A folder that does not exist would be offered as a file name instead.
    static QString startFolder();

    static QString imageFilter();
    // PDF, plain text, RTF, composite documents, spreadsheets, presentations, source code
    // and HTML, in that order.
    static QString documentFilter();

private:
    static std::optional<QString> choose(QWidget *parent, const QString &title,
                                         const QString &filter, const SheetRunner &sheets);
};

} // namespace quillory
