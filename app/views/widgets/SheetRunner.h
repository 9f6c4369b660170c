#pragma once

#include <functional>

class QDialog;

namespace quillory {

// How every sheet, question and alert of the application is shown: window-modal over its
// parent, unless a test has put its own answer in place. One runner is shared by the parts
// of a window, so one hook answers everything the window asks.
class SheetRunner final
{
public:
    using Hook = std::function<void(QDialog &)>;

    // Shows `sheet` and returns once it is answered.
    void run(QDialog &sheet) const;
    // Shows `sheet` and returns at once; the sheet answers later through its own signals.
    void present(QDialog &sheet) const;

    void setHook(Hook hook) { m_hook = std::move(hook); }
    // For parts made later that answer through the same hook.
    const Hook &hook() const { return m_hook; }

private:
    Hook m_hook;
};

} // namespace quillory
