// Outcome records of the IO-Link operations: a success flag and a message, some with a value.
// They cross the Java boundary as heap copies (one handle per record), so they stay plain,
// copyable and without virtual members; a derived record starts with its Result base.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

class Result {
public:
    Result(bool result, std::string message);

    bool getResult() const { return result; }
    std::string getMessage() const { return message; }
    // The message framed for the Java reader: "error:" in front on failure, "\nEOM\n" behind.
    std::string getMessageWithEom() const;

protected:
    bool result;
    std::string message;
};

class ResultLong : public Result {
public:
    ResultLong(bool result, std::string message, int32_t value);
    // For failures that carry no value; the value reads as 0 rather than as stray memory.
    ResultLong(bool result, std::string message);

    int32_t getLong() const { return value; }
    void setLong(int32_t newValue) { value = newValue; }

private:
    int32_t value = 0;
};

class ResultString : public Result {
public:
    ResultString(bool result, std::string message, std::string value);
    ResultString(bool result, std::string message);

    std::string getString() const { return value; }
    void setString(std::string newValue) { value = std::move(newValue); }

private:
    std::string value;
};
