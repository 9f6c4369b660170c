#pragma once

#include <QWidget>

class QLabel;

namespace quillory {

// A centred icon, title and description for a list or column with nothing to show.
class EmptyStateView final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(EmptyStateView)

public:
    explicit EmptyStateView(QWidget *parent = nullptr);

    void setContent(const QString &iconName, const QString &title, const QString &description);
    QString title() const;
    QString description() const;

private:
    QLabel *m_icon;
    QLabel *m_title;
    QLabel *m_description;
};

} // namespace quillory
