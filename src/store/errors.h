#pragma once
#include <QString>
#include <stdexcept>

namespace velmora::store {

// An error of the table engine: a filter it cannot read, an unknown field or
// index, a refused change, a failed SQLite statement. Its message is Italian
// and is what the user sees; the operation that raised it stops there.
class DbError : public std::runtime_error
{
public:
    explicit DbError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString& message() const { return m_message; }

private:
    QString m_message;
};

// Thrown by an event reaction to cancel, silently, the insertion or deletion
// that raised it. The table object catches it and is left as it was before.
class Abort
{
};

} // namespace velmora::store
