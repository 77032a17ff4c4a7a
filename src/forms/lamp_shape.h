#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

#include <array>

// A filled circle centred in its box, like a lamp on a panel: off or on. The
// window says what each state looks like and what a screen reader is told of
// it; the colour, the accessible description and the accessible name (the
// lamp's name, then its state, so that a review of the window says it)
// follow from the state.
class LampShape : public QWidget
{
    Q_OBJECT

public:
    enum class State {
        Off,
        On
    };

    explicit LampShape(QWidget *parent = nullptr);

    void setAppearance(State state, const QColor &colour, const QString &description);
    void setName(const QString &name);
    void setState(State state);

    QColor fillColor() const { return look(m_state).colour; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    struct Look {
        QColor colour;
        QString description;
    };
    const Look &look(State state) const { return m_looks[size_t(state)]; }
    void describe();

    State m_state = State::Off;
    QString m_name;
    std::array<Look, 2> m_looks{Look{Qt::black, QString()}, Look{Qt::black, QString()}};
};
