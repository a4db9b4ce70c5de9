#pragma once

#include <QString>
#include <stdexcept>

namespace pylon {

// The report's own failure: the archive could not be written. what() is the description logged.
class DiagnosticError : public std::runtime_error {
public:
    enum class Kind {
        zipCreationFailed,
    };
    DiagnosticError(Kind kind, const QString& description)
        : std::runtime_error(description.toStdString())
        , m_kind(kind) {}
    Kind kind() const { return m_kind; }
    QString description() const { return QString::fromStdString(what()); }

private:
    Kind m_kind;
};

// A file-system operation of the report that failed (creating the working folder, writing a file,
// saving the archive); what() names the item and the system's reason.
class ReportFileError : public std::runtime_error {
public:
    explicit ReportFileError(const QString& description)
        : std::runtime_error(description.toStdString()) {}
    QString description() const { return QString::fromStdString(what()); }
};

} // namespace pylon
