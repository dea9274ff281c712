#include "platform/text.h"

#include <algorithm>
#include <cstdio>
#include <cstdint>

namespace plat {

namespace {

// Code page 1251, bytes 0x80..0xFF (0x98 has no character).
constexpr char16_t kCp1251High[128] = {
0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F
};

int Utf16ToCp1251Byte(char16_t c)
{
    if (c < 0x80)
        return c;
    if (c >= 0x0410 && c <= 0x044F)
        return c - 0x0410 + 0xC0;
    for (int i = 0; i < 128; ++i)
        if (kCp1251High[i] == c && c != 0xFFFD)
            return 0x80 + i;
    return -1;
}

void AppendUtf8(std::string& out, std::uint32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Decodes one UTF-8 sequence at text[i]; returns its length, or 0 when it is not valid.
std::size_t DecodeUtf8(std::string_view text, std::size_t i, std::uint32_t& cp)
{
    const auto b0 = static_cast<std::uint8_t>(text[i]);
    std::size_t len;
    std::uint32_t min;
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    } else if ((b0 & 0xE0) == 0xC0) {
        len = 2, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (i + len > text.size())
        return 0;
    for (std::size_t k = 1; k < len; ++k) {
        const auto b = static_cast<std::uint8_t>(text[i + k]);
        if ((b & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

} // namespace

std::u16string Cp1251ToUtf16(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (char ch : text) {
        const auto b = static_cast<std::uint8_t>(ch);
        out += b < 0x80 ? static_cast<char16_t>(b) : kCp1251High[b - 0x80];
    }
    return out;
}

std::string Utf16ToCp1251(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char16_t c : text) {
        const int b = Utf16ToCp1251Byte(c);
        out += b < 0 ? '?' : static_cast<char>(b);
    }
    return out;
}

std::string Cp1251ToUtf8(std::string_view text)
{
    return Utf16ToUtf8(Cp1251ToUtf16(text));
}

std::string Utf8ToCp1251(std::string_view text)
{
    return Utf16ToCp1251(Utf8ToUtf16(text));
}

bool IsValidUtf8(std::string_view text)
{
    std::uint32_t cp;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t len = DecodeUtf8(text, i, cp);
        if (len == 0)
            return false;
        i += len;
    }
    return true;
}

std::u16string Utf8ToUtf16(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        std::uint32_t cp;
        const std::size_t len = DecodeUtf8(text, i, cp);
        if (len == 0) {
            out += u'\uFFFD';
            ++i;
            continue;
        }
        i += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size() * 2);
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        AppendUtf8(out, c);
    }
    return out;
}

char16_t ToUpperW(char16_t c)
{
    if (c >= u'a' && c <= u'z')
        return c - 32;
    if ((c >= 0xE0 && c <= 0xFE && c != 0xF7))
        return c - 32;
    if (c == 0xFF)
        return 0x178;
    if (c >= 0x0430 && c <= 0x044F)
        return c - 0x20;
    if (c >= 0x0450 && c <= 0x045F)
        return c - 0x50;
    if (c >= 0x0490 && c <= 0x04BF && (c & 1))
        return c - 1;
    return c;
}

char16_t ToLowerW(char16_t c)
{
    if (c >= u'A' && c <= u'Z')
        return c + 32;
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7))
        return c + 32;
    if (c == 0x178)
        return 0xFF;
    if (c >= 0x0410 && c <= 0x042F)
        return c + 0x20;
    if (c >= 0x0400 && c <= 0x040F)
        return c + 0x50;
    if (c >= 0x0490 && c <= 0x04BF && !(c & 1))
        return c + 1;
    return c;
}

int CompareNoCaseW(std::u16string_view a, std::u16string_view b)
{
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t ca = ToLowerW(a[i]);
        const char16_t cb = ToLowerW(b[i]);
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

int CompareNoCase(std::string_view a, std::string_view b)
{
    return CompareNoCaseW(Cp1251ToUtf16(a), Cp1251ToUtf16(b));
}

std::size_t StrLenW(const char16_t* s, std::size_t maxLen)
{
    if (!s)
        return 0;
    std::size_t n = 0;
    while (n < maxLen && s[n])
        ++n;
    return n;
}

std::size_t CopyW(char16_t* dst, std::size_t capacity, std::u16string_view src)
{
    if (!dst || capacity == 0)
        return 0;
    const std::size_t n = std::min(capacity - 1, src.size());
    std::copy_n(src.data(), n, dst);
    dst[n] = 0;
    return n;
}

std::size_t CopyA(char* dst, std::size_t capacity, std::string_view src)
{
    if (!dst || capacity == 0)
        return 0;
    const std::size_t n = std::min(capacity - 1, src.size());
    std::copy_n(src.data(), n, dst);
    dst[n] = 0;
    return n;
}

std::u16string FormatWV(const char16_t* fmt, std::va_list args)
{
    std::u16string out;
    if (!fmt)
        return out;
    for (const char16_t* p = fmt; *p; ++p) {
        if (*p != u'%') {
            out += *p;
            continue;
        }
        ++p;
        if (*p == u'%') {
            out += u'%';
            continue;
        }
        // Build a narrow format and let snprintf do numbers.
        std::string format = "%";
        while (*p == u'-' || *p == u'0' || *p == u'+' || *p == u' ' || *p == u'#')
            format += static_cast<char>(*p++);
        int width = -1;
        if (*p == u'*') {
            width = va_arg(args, int);
            ++p;
        } else {
            while (*p >= u'0' && *p <= u'9')
                format += static_cast<char>(*p++);
        }
        if (width >= 0)
            format += std::to_string(width);
        int precision = -1;
        if (*p == u'.') {
            ++p;
            precision = 0;
            if (*p == u'*') {
                precision = va_arg(args, int);
                ++p;
            } else {
                while (*p >= u'0' && *p <= u'9')
                    precision = precision * 10 + (*p++ - u'0');
            }
        }
        int longs = 0;
        bool shortArg = false;
        while (*p == u'l' || *p == u'h') {
            if (*p == u'l')
                ++longs;
            else
                shortArg = true;
            ++p;
        }
        if (!*p)
            break;
        const char16_t conv = *p;
        char buf[512];
        const bool leftAlign = format.find('-') != std::string::npos;
        auto pad = [&](std::u16string s) {
            int w = 0;
            for (std::size_t k = 1; k < format.size(); ++k)
                if (format[k] >= '1' && format[k] <= '9') {
                    w = std::atoi(format.c_str() + k);
                    break;
                }
            if (precision >= 0 && s.size() > static_cast<std::size_t>(precision))
                s.resize(static_cast<std::size_t>(precision));
            if (static_cast<int>(s.size()) < w) {
                const std::u16string fill(static_cast<std::size_t>(w) - s.size(), u' ');
                s = leftAlign ? s + fill : fill + s;
            }
            out += s;
        };
        switch (conv) {
        case u'd':
        case u'i': {
            const long long v = longs >= 2 ? va_arg(args, long long) : longs == 1 ? va_arg(args, long) : va_arg(args, int);
            if (precision >= 0)
                format += "." + std::to_string(precision);
            std::snprintf(buf, sizeof buf, (format + "lld").c_str(), v);
            out += Cp1251ToUtf16(buf);
            break;
        }
        case u'u':
        case u'x':
        case u'X': {
            unsigned long long v = longs >= 2   ? va_arg(args, unsigned long long)
                                   : longs == 1 ? va_arg(args, unsigned long)
                                                : va_arg(args, unsigned int);
            if (shortArg && longs == 0)
                v &= 0xFFFF;
            if (precision >= 0)
                format += "." + std::to_string(precision);
            format += "ll";
            format += static_cast<char>(conv);
            std::snprintf(buf, sizeof buf, format.c_str(), v);
            out += Cp1251ToUtf16(buf);
            break;
        }
        case u'f':
        case u'g':
        case u'e': {
            const double v = va_arg(args, double);
            if (precision >= 0)
                format += "." + std::to_string(precision);
            format += static_cast<char>(conv);
            std::snprintf(buf, sizeof buf, format.c_str(), v);
            out += Cp1251ToUtf16(buf);
            break;
        }
        case u'c':
            pad(std::u16string(1, static_cast<char16_t>(va_arg(args, int))));
            break;
        case u's':
            if (shortArg) {
                const char* s = va_arg(args, const char*);
                pad(s ? Cp1251ToUtf16(s) : u"(null)");
            } else {
                const char16_t* s = va_arg(args, const char16_t*);
                pad(s ? std::u16string(s) : u"(null)");
            }
            break;
        case u'S': {
            const char* s = va_arg(args, const char*);
            pad(s ? Cp1251ToUtf16(s) : u"(null)");
            break;
        }
        default:
            // Unknown conversions are copied as written rather than guessed at.
            out += u'%';
            out += conv;
            break;
        }
    }
    return out;
}

std::u16string FormatW(const char16_t* fmt, ...)
{
    std::va_list args;
    va_start(args, fmt);
    std::u16string s = FormatWV(fmt, args);
    va_end(args);
    return s;
}

std::size_t FormatWTo(char16_t* dst, std::size_t capacity, const char16_t* fmt, ...)
{
    std::va_list args;
    va_start(args, fmt);
    const std::u16string s = FormatWV(fmt, args);
    va_end(args);
    return CopyW(dst, capacity, s);
}

} // namespace plat
