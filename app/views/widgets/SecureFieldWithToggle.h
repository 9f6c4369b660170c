#pragma once

#include <QString>
#include <QWidget>

class QLineEdit;
class QToolButton;

namespace quillory {

// A text field for secrets with a button that shows or hides what was typed. Showing and
// hiding never touch the text.
class SecureFieldWithToggle final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SecureFieldWithToggle)
    Q_PROPERTY(QString title READ title WRITE setTitle)
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY textChanged USER true)
    Q_PROPERTY(bool isSecure READ isSecure WRITE setSecure NOTIFY secureChanged)

public:
    explicit SecureFieldWithToggle(const QString &title = QString(), QWidget *parent = nullptr);
    ~SecureFieldWithToggle() override;

    QString title() const;
    void setTitle(const QString &title);
    QString text() const;
    void setText(const QString &text);
    bool isSecure() const { return m_secure; }
    void setSecure(bool secure);
    void toggleSecure() { setSecure(!m_secure); }

    QLineEdit *lineEdit() const { return m_edit; }

signals:
    void textChanged(const QString &text);
    void secureChanged(bool isSecure);

private:
    void updateMode();

    QLineEdit *m_edit = nullptr;
    QToolButton *m_toggle = nullptr;
    bool m_secure = true;
};

} // namespace quillory
