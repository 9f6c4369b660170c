#pragma once

#include <QString>
#include <QWidget>

class QLabel;

namespace quillory {

class BusyIndicator;

// A centred busy indicator with a short message under it, shown while the library opens or
// a long task runs. Draws no background of its own, so it can sit over other content.
class LoadingView final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LoadingView)
    Q_PROPERTY(QString message READ message WRITE setMessage)

public:
    explicit LoadingView(const QString &message = QString(), QWidget *parent = nullptr);
    ~LoadingView() override;

    QString message() const;
    void setMessage(const QString &message);

private:
    BusyIndicator *m_indicator = nullptr;
    QLabel *m_label = nullptr;
};

} // namespace quillory
