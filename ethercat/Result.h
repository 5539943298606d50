// Outcome records of the bus operations: a success flag and a message, some with a value.
// The records cross the Java boundary as heap copies, so they stay plain and copyable.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class Result {
public:
    Result(bool success, std::string text);

    bool GetResult() const { return result; }
    std::string GetMessage() const { return message; }
    // The message framed for the Java reader: "error:" in front on failure, "\nEOM\n" behind.
    std::string GetMessageWithEom() const;

protected:
    bool result;
    std::string message;
};

class ResultInt : public Result {
public:
    ResultInt(bool success, std::string text, int32_t number);
    int32_t getInt() const { return value; }

private:
    int32_t value;
};

class ResultLong : public Result {
public:
    ResultLong(bool success, std::string text, int32_t number);
    int32_t getLong() const { return value; }
    void setLong(int32_t newValue) { value = newValue; }

private:
    int32_t value;
};

class ResultLongArray : public Result {
public:
    ResultLongArray(bool success, std::string text, std::vector<uint32_t> numbers);
    std::vector<uint32_t> getLongArray() const { return values; }
    void setLongArray(std::vector<uint32_t> newValues) { values = std::move(newValues); }

private:
    std::vector<uint32_t> values;
};

class ResultCharArray : public Result {
public:
    ResultCharArray(bool success, std::string text, std::vector<char> bytes);
    std::vector<char> getCharArray() const { return values; }
    void setCharArray(std::vector<char> newValues) { values = std::move(newValues); }

private:
    std::vector<char> values;
};
