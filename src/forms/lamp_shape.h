#pragma once

#include <QColor>
#include <QWidget>

// A filled circle centred in its box, like a lamp on a panel. Its fill
// colour is its only state.
class LampShape : public QWidget
{
    Q_OBJECT

public:
    explicit LampShape(QWidget *parent = nullptr);

    QColor fillColor() const { return m_fill; }
    void setFillColor(const QColor &colour);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // What the lamp says to a screen reader: red is audio being received.
    static QString describe(const QColor &colour);

    QColor m_fill = Qt::green;
};
