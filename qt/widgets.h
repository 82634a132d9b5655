#pragma once
// The two control kinds that Qt has no exact match for: a frame that is a plain coloured panel,
// and a picture box that shows a bitmap inside a sunken border and can take the focus.
#include <QFrame>
#include <QPixmap>
#include <QPushButton>

namespace qt {

class Panel final : public QFrame {
    Q_OBJECT
public:
    explicit Panel(QWidget* parent);
};

// A command button whose caption wraps at word boundaries, as captions do on buttons too narrow
// for them on one line.
class Button final : public QPushButton {
    Q_OBJECT
public:
    Button(const QString& caption, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};

class PictureBox final : public QFrame {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent);
    void setPixmap(const QPixmap& pixmap);
    const QPixmap& pixmap() const { return pixmap_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap pixmap_;
};

}  // namespace qt
