#pragma once
// The core reports failures as values: a Result holds either the value or an Error
// whose message is the user-facing Russian text (UTF-8). Nothing here shows anything.
#include <cassert>
#include <string>
#include <utility>
#include <variant>

namespace veltris {

enum class ErrorKind {
    Generic,          // anything else; shown with caption "Ошибка"
    OpenFailed,       // a file could not be opened or read
    VersionMismatch,  // base header names no known format version (caption "Error!")
    TooShort,         // a file too short to hold the base header and maps
    WriteFailed,      // a file could not be written ("Ошибка записи в файл")
    InvalidNumber,    // a text that does not read as a number
    IniFormat,        // a catalogue INI value out of range
    OutOfMemory,      // the memory for the work could not be had
    TooLarge,         // a file bigger than anything of its kind can be
    Cancelled,        // the user stopped the work
};

struct Error {
    Error() = default;
    Error(ErrorKind k, std::string text, std::string why = {})
        : kind(k), message(std::move(text)), reason(std::move(why))
    {}

    ErrorKind kind = ErrorKind::Generic;
    std::string message;  // UTF-8
    // The cell a failure belongs to (data row from 1, column), where there is one.
    int row = -1;
    int column = -1;
    // The system's reason in Russian ("нет места на диске"), where a system call failed and the
    // message itself does not name it; empty otherwise. The window shows `message` alone.
    std::string reason;
};

// The memory for reading a base (or anything read with it) could not be had: kind OutOfMemory,
// "Недостаточно памяти, чтобы открыть базу".
inline Error outOfMemoryError()
{
    return Error{ErrorKind::OutOfMemory, "Недостаточно памяти, чтобы открыть базу"};
}

template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : m_v(std::move(value)) {}
    Result(Error error) : m_v(std::move(error)) {}

    bool ok() const { return m_v.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& value() &
    {
        assert(ok());
        return std::get<0>(m_v);
    }
    const T& value() const&
    {
        assert(ok());
        return std::get<0>(m_v);
    }
    T&& value() &&
    {
        assert(ok());
        return std::get<0>(std::move(m_v));
    }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }

    const Error& error() const
    {
        assert(!ok());
        return std::get<1>(m_v);
    }

private:
    std::variant<T, Error> m_v;
};

// Success without a value.
class [[nodiscard]] Status {
public:
    Status() = default;
    Status(Error error) : m_ok(false), m_error(std::move(error)) {}
    bool ok() const { return m_ok; }
    explicit operator bool() const { return m_ok; }
    const Error& error() const
    {
        assert(!m_ok);
        return m_error;
    }

private:
    bool m_ok = true;
    Error m_error;
};

}  // namespace veltris
