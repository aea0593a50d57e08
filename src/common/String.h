#pragma once
#include <cstddef>

// Narrow string in the system ANSI code page: reference-counted, copy-on-write, length in bytes.
// Allocation failure raises COutOfMemory.
class String
{
public:
    static const size_t npos = static_cast<size_t>(-1);

    String();
    String(const char *text);
    String(const char *text, size_t length);
    String(const String &other);
    String &operator=(const String &other);
    String &operator=(const char *text);
    ~String();

    size_t Length() const;
    bool IsEmpty() const;
    const char *c_str() const;
    char operator[](size_t index) const;

    String Left(size_t count) const;
    String Right(size_t count) const;
    // Clamped to the string: a start past the end gives an empty string.
    String Mid(size_t first, size_t count = npos) const;

    String &operator+=(const String &other);
    String &operator+=(const char *text);

    // Multibyte-aware comparison (_mbscmp): <0, 0, >0.
    int Compare(const char *text) const;
    bool operator==(const String &other) const;
    bool operator==(const char *text) const;
    bool operator!=(const String &other) const;
    bool operator!=(const char *text) const;

    // Writable buffer of at least minLength bytes plus the terminator, unshared;
    // ReleaseBuffer takes the length from the terminating zero.
    char *GetBuffer(size_t minLength);
    void ReleaseBuffer();

private:
    struct Data;
    Data *m_data; // null for the empty string

    void Assign(const char *text, size_t length);
    void Append(const char *text, size_t length);
    void Release();
};

String operator+(const String &left, const String &right);
String operator+(const String &left, const char *right);
String operator+(const char *left, const String &right);
