#pragma once

#include <QString>

#include <stdexcept>

namespace tunelix::catalogue {

// A catalogue operation failed; the message is meant for the user's error box.
class CatalogueError : public std::runtime_error
{
public:
    explicit CatalogueError(const QString &message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    QString message() const { return m_message; }

private:
    QString m_message;
};

} // namespace tunelix::catalogue
