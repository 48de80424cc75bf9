#pragma once
// The drawing view: the package drawing, at its own size and centred, or stretched over the whole control.
#include <QImage>
#include <QWidget>

class DrawingImage : public QWidget {
    Q_OBJECT
public:
    explicit DrawingImage(QWidget* parent = nullptr);

    void setImage(const QImage& image);
    const QImage& image() const { return m_image; }
    void setStretch(bool on);
    bool stretch() const { return m_stretch; }

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QImage m_image;
    bool m_stretch = false;
    bool m_pressed = false;
};
