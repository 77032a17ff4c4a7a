#pragma once

#include <QColor>
#include <QPushButton>

// A command button in the graphical style: a raised face in the button's own
// colour, the caption word-wrapped and centred, sunk while pressed, with a
// dotted focus rectangle and a black outline while it holds the focus.
// Enter presses the focused button, as the space bar does, in every window.
class GraphicalButton : public QPushButton
{
    Q_OBJECT

public:
    GraphicalButton(const QString &caption, const QColor &background, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QColor m_background;
};
