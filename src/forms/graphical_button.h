#pragma once

#include <QColor>
#include <QPushButton>

// A command button in the graphical style: a raised face in the button's own
// colour, the caption word-wrapped and centred, sunk while pressed, with a
// dotted focus rectangle and a black outline while it holds the focus.
class GraphicalButton : public QPushButton
{
    Q_OBJECT

public:
    GraphicalButton(const QString &caption, const QColor &background, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_background;
};
