#include "Result.h"

#include <utility>

namespace {
constexpr const char* endOfMessage = "\nEOM\n";
constexpr const char* failurePrefix = "error:";
}

Result::Result(bool success, std::string text) : result(success), message(std::move(text)) {}

std::string Result::GetMessageWithEom() const
{
    std::string framed = result ? message : failurePrefix + message;
    framed += endOfMessage;
    return framed;
}

ResultInt::ResultInt(bool success, std::string text, int32_t number)
    : Result(success, std::move(text)), value(number) {}

ResultLong::ResultLong(bool success, std::string text, int32_t number)
    : Result(success, std::move(text)), value(number) {}

ResultLongArray::ResultLongArray(bool success, std::string text, std::vector<uint32_t> numbers)
    : Result(success, std::move(text)), values(std::move(numbers)) {}

ResultCharArray::ResultCharArray(bool success, std::string text, std::vector<char> bytes)
    : Result(success, std::move(text)), values(std::move(bytes)) {}
