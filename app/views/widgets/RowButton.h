#pragma once

#include <QAbstractButton>
#include <QColor>
#include <optional>

namespace quillory {

// A form row that acts when clicked: a symbol, a label and, at the trailing edge, an
// optional value and a chevron for rows that lead to another screen. Destructive rows draw
// their label in red.
class RowButton final : public QAbstractButton
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RowButton)

public:
    RowButton(const QString &symbol, const QString &text, QWidget *parent = nullptr);

    QString trailingText() const { return m_trailing; }
    // Empty hides it; without a colour it is drawn in the secondary colour.
    void setTrailingText(const QString &text, std::optional<QColor> color = std::nullopt);
    void setLeadsOn(bool leadsOn);
    void setDestructive(bool destructive);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    QColor labelColor() const;

    QString m_symbol;
    QString m_trailing;
    std::optional<QColor> m_trailingColor;
    bool m_leadsOn = false;
    bool m_destructive = false;
};

} // namespace quillory
