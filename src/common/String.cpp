#include "common/String.h"
#include "common/Exceptions.h"

#include <windows.h>
#include <mbstring.h>
#include <cstdlib>
#include <cstring>

struct String::Data
{
    LONG refs;
    size_t length;
    size_t capacity;
    char text[1];

    static Data *Allocate(size_t capacity)
    {
        if (capacity > 0x7FFFFFF0)
            throw COutOfMemory();
        Data *data = static_cast<Data *>(std::malloc(sizeof(Data) + capacity));
        if (!data)
            throw COutOfMemory();
        data->refs = 1;
        data->length = 0;
        data->capacity = capacity;
        data->text[0] = '\0';
        return data;
    }
};

String::String() : m_data(nullptr) {}

String::String(const char *text) : m_data(nullptr)
{
    if (text)
        Assign(text, std::strlen(text));
}

String::String(const char *text, size_t length) : m_data(nullptr)
{
    Assign(text, length);
}

String::String(const String &other) : m_data(other.m_data)
{
    if (m_data)
        InterlockedIncrement(&m_data->refs);
}

String &String::operator=(const String &other)
{
    if (other.m_data)
        InterlockedIncrement(&other.m_data->refs);
    Release();
    m_data = other.m_data;
    return *this;
}

String &String::operator=(const char *text)
{
    String copy(text);
    return *this = copy;
}

String::~String()
{
    Release();
}

void String::Release()
{
    if (m_data && InterlockedDecrement(&m_data->refs) == 0)
        std::free(m_data);
    m_data = nullptr;
}

void String::Assign(const char *text, size_t length)
{
    if (length == 0) {
        Release();
        return;
    }
    Data *data = Data::Allocate(length);
    std::memcpy(data->text, text, length);
    data->text[length] = '\0';
    data->length = length;
    Release();
    m_data = data;
}

void String::Append(const char *text, size_t length)
{
    if (length == 0)
        return;
    const size_t old = Length();
    if (old + length < old)
        throw COutOfMemory();
    Data *data = Data::Allocate(old + length);
    if (old)
        std::memcpy(data->text, m_data->text, old);
    std::memcpy(data->text + old, text, length);
    data->length = old + length;
    data->text[data->length] = '\0';
    Release();
    m_data = data;
}

size_t String::Length() const
{
    return m_data ? m_data->length : 0;
}

bool String::IsEmpty() const
{
    return Length() == 0;
}

const char *String::c_str() const
{
    return m_data ? m_data->text : "";
}

char String::operator[](size_t index) const
{
    if (index >= Length())
        throw CInvalidArg();
    return m_data->text[index];
}

String String::Left(size_t count) const
{
    return Mid(0, count);
}

String String::Right(size_t count) const
{
    const size_t length = Length();
    return count >= length ? *this : Mid(length - count);
}

String String::Mid(size_t first, size_t count) const
{
    const size_t length = Length();
    if (first >= length)
        return String();
    if (count > length - first)
        count = length - first;
    if (first == 0 && count == length)
        return *this;
    return String(m_data->text + first, count);
}

String &String::operator+=(const String &other)
{
    if (IsEmpty())
        return *this = other;
    String keep(other); // other may be *this
    Append(keep.c_str(), keep.Length());
    return *this;
}

String &String::operator+=(const char *text)
{
    if (text)
        Append(text, std::strlen(text));
    return *this;
}

int String::Compare(const char *text) const
{
    return _mbscmp(reinterpret_cast<const unsigned char *>(c_str()),
                   reinterpret_cast<const unsigned char *>(text ? text : ""));
}

bool String::operator==(const String &other) const { return Compare(other.c_str()) == 0; }
bool String::operator==(const char *text) const { return Compare(text) == 0; }
bool String::operator!=(const String &other) const { return !(*this == other); }
bool String::operator!=(const char *text) const { return !(*this == text); }

char *String::GetBuffer(size_t minLength)
{
    const size_t length = Length();
    if (m_data && m_data->refs == 1 && m_data->capacity >= minLength)
        return m_data->text;
    Data *data = Data::Allocate(minLength > length ? minLength : length);
    if (length)
        std::memcpy(data->text, m_data->text, length + 1);
    data->length = length;
    Release();
    m_data = data;
    return m_data->text;
}

void String::ReleaseBuffer()
{
    if (!m_data)
        return;
    m_data->length = std::strlen(m_data->text);
    if (m_data->length == 0)
        Release();
}

String operator+(const String &left, const String &right)
{
    String result(left);
    result += right;
    return result;
}

String operator+(const String &left, const char *right)
{
    String result(left);
    result += right;
    return result;
}

String operator+(const char *left, const String &right)
{
    String result(left);
    result += right;
    return result;
}
