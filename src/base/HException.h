#pragma once

#include "base/StudioUtils.h"

#include <QString>
#include <exception>
#include <string>

// Error raised by object-file reading and byte streams; carries one message
// that the driver prints as "error: <message>".
class HException : public std::exception {
public:
    explicit HException(const char* message) : m_message(message ? message : "") {}
    explicit HException(std::string message) : m_message(std::move(message)) {}
    // Printed as it is: the bytes the OS knows a path by.
    explicit HException(const QString& message)
        : m_message(StudioUtils::toOsText(message).toStdString()) {}

    const char* message() const noexcept { return m_message.c_str(); }
    const char* what() const noexcept override { return m_message.c_str(); }

private:
    std::string m_message;
};
