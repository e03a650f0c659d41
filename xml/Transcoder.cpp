#include "xml/Transcoder.h"

#include <errno.h>
#include <iconv.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "framework/plinth/StringUtil.h"
#include "syntax/XMLChars.h"
#include "syntax/XMLSyntax.h"
#include "xml/XMLException.h"

namespace kavri {
namespace xml {

namespace {

bool startsWith(const std::string& bytes, const char* prefix, size_t length) {
    return bytes.size() >= length && std::memcmp(bytes.data(), prefix, length) == 0;
}

bool sameName(const std::string& name, const char* other) {
    return text::StringUtil::compareIgnoreCase(name.c_str(), other) == 0;
}

// Whether `encoding` names the encoding family `family` ("UTF-16", "UTF-32")
// whose bytes the document was found in: any byte order, with or without
// the hyphen, and the older name of the same code units ("UCS-2", "UCS-4").
bool namesFamily(const std::string& encoding, const char* family, const char* older) {
    std::string name;
    for (char c : encoding) {
        if (c != '-' && c != '_') {
            name += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
        }
    }
    const std::string utf = std::string(family).erase(3, 1);  // "UTF16"
    const std::string ucs = std::string(older).erase(3, 1);   // "UCS2"
    return name.compare(0, utf.size(), utf) == 0 || name == ucs || name == "ISO10646" + ucs;
}

// A declaration that names another encoding than the one the bytes were
// found in is a fatal error (XML 1.0, 4.3.3): either reading could be wrong.
// `marked`: a byte-order mark stood before, which a column counts.
void checkDeclaredFamily(const std::string& bytes, bool marked, const char* found,
                         const char* family, const char* older, Transcoder::Place& failedAt) {
    size_t offset = 0;
    const std::string encoding = Transcoder::declaredEncoding(bytes, offset);
    if (encoding.empty() || namesFamily(encoding, family, older)) {
        return;
    }
    failedAt.line = 1;
    failedAt.column = static_cast<unsigned>(offset + (marked ? 2 : 1));
    throw XMLException("Encoding %s declared in a document encoded in %s", encoding.c_str(), found);
}

// The line and column just after the UTF-8 text converted so far.
Transcoder::Place placeAfter(const std::string& converted) {
    Transcoder::Place place;
    const char* const begin = converted.data();
    const char* const end = begin + converted.size();
    const char* lineStart = begin;
    place.line = 1;
    for (const char* p = begin;
         (p = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)))) !=
         nullptr;
         lineStart = ++p) {
        ++place.line;
    }
    place.column = 1 + static_cast<unsigned>(syntax::countCharacters(
                           lineStart, static_cast<size_t>(end - lineStart)));
    return place;
}

class Converter {
  public:
    explicit Converter(const std::string& encoding)
        : mHandle(iconv_open("UTF-8", encoding.c_str())) {}
    ~Converter() {
        if (valid()) {
            iconv_close(mHandle);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool valid() const { return mHandle != reinterpret_cast<iconv_t>(-1); }
    iconv_t handle() const { return mHandle; }

  private:
    iconv_t mHandle;
};

}  // namespace

std::string Transcoder::declaredEncoding(const std::string& bytes, size_t& offset) {
    if (!startsWith(bytes, "<?xml", 5) || bytes.size() < 6 || !syntax::isSpace(bytes[5])) {
        return "";
    }
    const size_t end = bytes.find("?>");
    const size_t key = bytes.find("encoding", 5);
    if (end == std::string::npos || key == std::string::npos || key > end) {
        return "";
    }
    size_t p = key + 8;
    while (p < end && syntax::isSpace(bytes[p])) {
        ++p;
    }
    if (p == end || bytes[p] != '=') {
        return "";
    }
    ++p;
    while (p < end && syntax::isSpace(bytes[p])) {
        ++p;
    }
    if (p == end || (bytes[p] != '"' && bytes[p] != '\'')) {
        return "";
    }
    const size_t close = bytes.find(bytes[p], p + 1);
    if (close == std::string::npos || close > end) {
        return "";
    }
    offset = p + 1;
    return bytes.substr(p + 1, close - p - 1);
}

std::string Transcoder::toUTF8(std::string& bytes, Place& failedAt) {
    failedAt = Place();
    if (startsWith(bytes, "\xEF\xBB\xBF", 3)) {
        bytes.erase(0, 3);
        size_t offset = 0;
        const std::string encoding = declaredEncoding(bytes, offset);
        // The mark says UTF-8: a declaration that says otherwise is wrong
        // about the bytes, and reading them either way could be wrong.
        if (!encoding.empty() && !sameName(encoding, "UTF-8") && !sameName(encoding, "UTF8")) {
            failedAt.line = 1;
            failedAt.column = static_cast<unsigned>(offset + 2);
            throw XMLException("Encoding %s declared after a UTF-8 byte-order mark",
                               encoding.c_str());
        }
        return "";
    }
    // UTF-32 and UTF-16 show themselves before any declaration can be read;
    // UTF-32's marks first, since UTF-16LE's begins UTF-32LE's.
    if (startsWith(bytes, "\xFF\xFE\0\0", 4) || startsWith(bytes, "<\0\0\0", 4)) {
        return convertWide(bytes, bytes[0] == '<' ? 0 : 4, "UTF-32LE", failedAt);
    }
    if (startsWith(bytes, "\0\0\xFE\xFF", 4) || startsWith(bytes, "\0\0\0<", 4)) {
        return convertWide(bytes, bytes[3] == '<' ? 0 : 4, "UTF-32BE", failedAt);
    }
    if (startsWith(bytes, "\xFF\xFE", 2) || startsWith(bytes, "<\0?\0", 4)) {
        return convertWide(bytes, bytes[0] == '<' ? 0 : 2, "UTF-16LE", failedAt);
    }
    if (startsWith(bytes, "\xFE\xFF", 2) || startsWith(bytes, "\0<\0?", 4)) {
        return convertWide(bytes, bytes[0] == '\0' ? 0 : 2, "UTF-16BE", failedAt);
    }
    // Bytes in none of the forms above are in UTF-8 or an encoding of
    // single bytes, whatever the declaration says of them.
    size_t offset = 0;
    const std::string encoding = declaredEncoding(bytes, offset);
    if (namesFamily(encoding, "UTF-16", "UCS-2") || namesFamily(encoding, "UTF-32", "UCS-4")) {
        failedAt.line = 1;
        failedAt.column = static_cast<unsigned>(offset + 1);
        throw XMLException("Encoding %s declared in a document encoded in UTF-8", encoding.c_str());
    }
    if (encoding.empty() || sameName(encoding, "UTF-8") || sameName(encoding, "UTF8")) {
        return "";
    }
    if (!syntax::isEncodingName(encoding.data(), encoding.size()) || !Converter(encoding).valid()) {
        failedAt.line = 1;
        failedAt.column = static_cast<unsigned>(offset + 1);
        throw XMLException("Unsupported encoding %s", encoding.c_str());
    }
    std::string converted;
    convert(bytes, 0, encoding, converted, failedAt);
    bytes.swap(converted);
    return encoding;
}

std::string Transcoder::convertWide(std::string& bytes, size_t from, const char* encoding,
                                    Place& failedAt) {
    std::string converted;
    convert(bytes, from, encoding, converted, failedAt);
    const bool sixteen = encoding[4] == '1';
    checkDeclaredFamily(converted, from != 0, encoding, sixteen ? "UTF-16" : "UTF-32",
                        sixteen ? "UCS-2" : "UCS-4", failedAt);
    bytes.swap(converted);
    return encoding;
}

void Transcoder::convert(const std::string& bytes, size_t from, const std::string& encoding,
                         std::string& converted, Place& failedAt) {
    Converter converter(encoding);
    converted.reserve(bytes.size() + bytes.size() / 2);
    // iconv's interface takes the input as not const; it only reads it.
    char* in = const_cast<char*>(bytes.data()) + from;
    size_t inLeft = bytes.size() - from;
    char chunk[16384];
    // The input first, then one call that flushes what the converter holds.
    bool flushing = false;
    for (;;) {
        char* out = chunk;
        size_t outLeft = sizeof chunk;
        const size_t result = flushing ? iconv(converter.handle(), nullptr, nullptr, &out, &outLeft)
                                       : iconv(converter.handle(), &in, &inLeft, &out, &outLeft);
        const int error = errno;
        converted.append(chunk, static_cast<size_t>(out - chunk));
        if (result == static_cast<size_t>(-1)) {
            if (error == E2BIG) {
                continue;
            }
            // EILSEQ: a sequence that is no character; EINVAL: one cut short
            // by the end of the input.
            failedAt = placeAfter(converted);
            throw XMLException("Invalid byte sequence in encoding %s at line %u, column %u",
                               encoding.c_str(), failedAt.line, failedAt.column);
        }
        if (flushing) {
            break;
        }
        flushing = inLeft == 0;
    }
}

void Transcoder::fromUTF8(std::string& text, const std::string& encoding) {
    iconv_t handle = iconv_open(encoding.c_str(), "UTF-8");
    if (handle == reinterpret_cast<iconv_t>(-1)) {
        throw XMLException("Unsupported encoding %s", encoding.c_str());
    }
    std::unique_ptr<void, int (*)(iconv_t)> closer(handle, iconv_close);
    const bool ascii =
        !namesFamily(encoding, "UTF-16", "UCS-2") && !namesFamily(encoding, "UTF-32", "UCS-4");
    std::string converted;
    converted.reserve(text.size() + text.size() / 2);
    char* in = &text[0];
    size_t inLeft = text.size();
    char chunk[16384];
    while (inLeft != 0) {
        char* out = chunk;
        size_t outLeft = sizeof chunk;
        const size_t result = iconv(handle, &in, &inLeft, &out, &outLeft);
        const int error = errno;
        converted.append(chunk, static_cast<size_t>(out - chunk));
        if (result != static_cast<size_t>(-1) || error == E2BIG) {
            continue;
        }
        uint32_t c = 0;
        const size_t length = syntax::decodeUTF8(in, in + inLeft, c);
        if (!ascii || length == 0) {
            throw XMLException("Character U+%04X cannot be written in %s", c, encoding.c_str());
        }
        char reference[16];
        converted.append(reference, static_cast<size_t>(
                                        std::snprintf(reference, sizeof reference, "&#x%X;", c)));
        in += length;
        inLeft -= length;
    }
    char* out = chunk;
    size_t outLeft = sizeof chunk;
    iconv(handle, nullptr, nullptr, &out, &outLeft);
    converted.append(chunk, static_cast<size_t>(out - chunk));
    text.swap(converted);
}

}  // namespace xml
}  // namespace kavri
