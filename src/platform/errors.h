#pragma once
// The platform's error path. The program's own code raises nothing; the
// platform layers (conversions, file creation, the chart's axes) raise these,
// and the event that started the handler chain catches them and shows one
// standard error message box (see guard.h).
#include <QString>
#include <stdexcept>

namespace platform {

class PlatformError : public std::runtime_error {
  public:
    explicit PlatformError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    QString message() const { return m_message; }

  private:
    QString m_message;
};

// A text that does not convert to a number or a date-time.
class ConversionError : public PlatformError {
    using PlatformError::PlatformError;
};

// A file that cannot be created or written.
class FileCreateError : public PlatformError {
    using PlatformError::PlatformError;
};

// A chart axis that refuses a limit (minimum above maximum or the reverse).
class ChartAxisError : public PlatformError {
    using PlatformError::PlatformError;
};

} // namespace platform
