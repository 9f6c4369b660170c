#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

class QAbstractButton;

namespace quillory {

class FlowLayout;

// A grid of symbol buttons to pick one icon from; as many columns as the width allows.
// The chosen icon sits on a light blue tile.
class IconPickerGrid final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(IconPickerGrid)
    Q_PROPERTY(QString selectedIcon READ selectedIcon WRITE setSelectedIcon NOTIFY
                   selectedIconChanged USER true)

public:
    static constexpr int cellSize = 36;
    static constexpr int iconSize = 20;
    static constexpr int spacing = 8; // a column is cellSize + spacing = 44 px wide

    // The icons a folder can have, in the order the folder editor offers them.
    static const QStringList &folderIcons();
    // Whether the symbol's theme icon is drawn in one colour and can take a tint. Some are
    // full-colour artwork that a tint would turn into a solid blob.
    static bool isTintable(const QString &symbol);

    explicit IconPickerGrid(const QStringList &icons, QWidget *parent = nullptr);
    ~IconPickerGrid() override;

    const QStringList &icons() const { return m_icons; }
    QString selectedIcon() const { return m_selected; }
    void setSelectedIcon(const QString &icon);
    // The button showing `icon`, or null.
    QAbstractButton *cell(const QString &icon) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void selectedIconChanged(const QString &icon);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QStringList m_icons;
    QString m_selected;
    QList<QAbstractButton *> m_cells;
    FlowLayout *m_layout = nullptr;
};

} // namespace quillory
