#pragma once

#include <QColor>
#include <QString>
#include <QUuid>
#include <QWidget>
#include <functional>

class QToolButton;

namespace quillory {

class Tag;

enum class TagChipSize { Small, Medium, Large };

// A tag's name on a rounded background of its colour, optionally with a remove button.
// The chip keeps its own copy of the tag's id, name and colour, so it never points at a
// deleted tag; updateFromTag() takes in later edits.
class TagChipView final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TagChipView)

public:
    explicit TagChipView(const Tag &tag, TagChipSize size = TagChipSize::Medium,
                         QWidget *parent = nullptr);
    ~TagChipView() override;

    void updateFromTag(const Tag &tag);

    const QUuid &tagId() const { return m_tagId; }
    const QString &name() const { return m_name; }
    // The tag's colour, or the standard blue when its colour text is unreadable.
    const QColor &color() const { return m_color; }

    // The remove button shows only while both are set.
    void setShowRemove(bool show);
    void setOnRemove(std::function<void()> onRemove);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    struct Metrics
    {
        qreal fontScale;
        int vertical;
        int horizontal;
    };
    static Metrics metrics(TagChipSize size);

    bool removeShown() const;
    void applyColor();
    void updateRemoveButton();
    void placeRemoveButton();
    QFont textFont() const;

    QUuid m_tagId;
    QString m_name;
    QColor m_color;
    TagChipSize m_size;
    bool m_showRemove = false;
    std::function<void()> m_onRemove;
    QToolButton *m_remove = nullptr;
};

} // namespace quillory
