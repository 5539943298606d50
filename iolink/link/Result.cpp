#include "link/Result.h"

#include <utility>

namespace {
constexpr const char* endOfMessage = "\nEOM\n";
constexpr const char* failurePrefix = "error:";
}

Result::Result(bool succeeded, std::string text) : result(succeeded), message(std::move(text)) {}

std::string Result::getMessageWithEom() const
{
    std::string framed = result ? message : failurePrefix + message;
    framed += endOfMessage;
    return framed;
}

ResultLong::ResultLong(bool succeeded, std::string text, int32_t number)
    : Result(succeeded, std::move(text)), value(number) {}

ResultLong::ResultLong(bool succeeded, std::string text) : Result(succeeded, std::move(text)) {}

ResultString::ResultString(bool succeeded, std::string text, std::string content)
    : Result(succeeded, std::move(text)), value(std::move(content)) {}

ResultString::ResultString(bool succeeded, std::string text) : Result(succeeded, std::move(text)) {}
