#pragma once

#include "runtime/error_number.h"

#include <QByteArray>
#include <QString>

#include <exception>

// A failure as the operator sees it in the error report: a number in the
// classic run-time numbering and a description in Portuguese. A call on the
// conference application may fail busy: refused, or not answered in time;
// busy or slow is not gone, and the program goes on (what was asked may
// still be done over there).
class AppError : public std::exception
{
public:
    AppError(ErrorNumber number, QString description, bool busy = false)
        : m_number(number), m_description(std::move(description)), m_what(m_description.toUtf8()), m_busy(busy)
    {
    }

    ErrorNumber number() const noexcept { return m_number; }
    const QString &description() const noexcept { return m_description; }
    bool isBusy() const noexcept { return m_busy; }
    const char *what() const noexcept override { return m_what.constData(); }

private:
    ErrorNumber m_number;
    QString m_description;
    QByteArray m_what;
    bool m_busy;
};
