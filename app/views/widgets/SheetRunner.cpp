#include <views/widgets/SheetRunner.h>

#include <QDialog>

namespace quillory {

namespace {

// A dialog that asked for more (the whole application) keeps it.
void makeModal(QDialog &sheet)
{
    if (sheet.windowModality() == Qt::NonModal)
        sheet.setWindowModality(Qt::WindowModal);
}

} // namespace

void SheetRunner::run(QDialog &sheet) const
{
    makeModal(sheet);
    if (m_hook)
        m_hook(sheet);
    else
        sheet.exec();
}

void SheetRunner::present(QDialog &sheet) const
{
    makeModal(sheet);
    if (m_hook)
        m_hook(sheet);
    else
        sheet.open();
}

} // namespace quillory
