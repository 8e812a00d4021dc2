#pragma once
// Errors of the run-time layer that end the current handler. The window shows their message in its
// error dialog and the program runs on.

#include <QString>
#include <stdexcept>

class RuntimeError : public std::runtime_error {
public:
    explicit RuntimeError(const QString& message);
    QString message() const { return QString::fromUtf8(what()); }
};

// A failed file operation, carrying the system's errno.
class InOutError : public RuntimeError {
public:
    explicit InOutError(int errnum);
    int errnum() const { return errnum_; }

private:
    int errnum_;
};

// A text that is not a decimal integer.
class ConvertError : public RuntimeError {
public:
    explicit ConvertError(const QString& text);
};

// The German message for an errno: "Datei nicht gefunden", "Dateizugriff verweigert", "E/A-Fehler %d".
QString inOutErrorMessage(int errnum);

// A decimal integer, optionally signed, with optional leading blanks; anything else throws ConvertError.
int strToInt(const QString& text);
