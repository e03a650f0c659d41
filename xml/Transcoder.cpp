#include "xml/Transcoder.h"

#include <errno.h>
#include <iconv.h>

#include <cstring>

#include "framework/plinth/StringUtil.h"
#include "xml/XMLException.h"

namespace kavri {
namespace xml {

namespace {

bool startsWith(const std::string& bytes, const char* prefix, size_t length) {
    return bytes.size() >= length && std::memcmp(bytes.data(), prefix, length) == 0;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool sameName(const std::string& name, const char* other) {
    return text::StringUtil::compareIgnoreCase(name.c_str(), other) == 0;
}

// Names as the declaration may write them: letters, digits, '.', '_', '-'.
// Anything else (iconv reads suffixes such as "//IGNORE" as options) is no
// encoding name.
bool isEncodingName(const std::string& name) {
    if (name.empty()) {
        return false;
    }
    for (char c : name) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
        if (!plain) {
            return false;
        }
    }
    return true;
}

// The line and column just after the UTF-8 text converted so far.
Transcoder::Place placeAfter(const std::string& converted) {
    Transcoder::Place place;
    place.line = 1;
    place.column = 1;
    for (char c : converted) {
        if (c == '\n') {
            ++place.line;
            place.column = 1;
        } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            ++place.column;  // continuation bytes belong to the character before
        }
    }
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
    if (!startsWith(bytes, "<?xml", 5) || bytes.size() < 6 || !isBlank(bytes[5])) {
        return "";
    }
    const size_t end = bytes.find("?>");
    const size_t key = bytes.find("encoding", 5);
    if (end == std::string::npos || key == std::string::npos || key > end) {
        return "";
    }
    size_t p = key + 8;
    while (p < end && isBlank(bytes[p])) {
        ++p;
    }
    if (p == end || bytes[p] != '=') {
        return "";
    }
    ++p;
    while (p < end && isBlank(bytes[p])) {
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
        convert(bytes, bytes[0] == '<' ? 0 : 4, "UTF-32LE", failedAt);
        return "UTF-32LE";
    }
    if (startsWith(bytes, "\0\0\xFE\xFF", 4) || startsWith(bytes, "\0\0\0<", 4)) {
        convert(bytes, bytes[3] == '<' ? 0 : 4, "UTF-32BE", failedAt);
        return "UTF-32BE";
    }
    if (startsWith(bytes, "\xFF\xFE", 2) || startsWith(bytes, "<\0?\0", 4)) {
        convert(bytes, bytes[0] == '<' ? 0 : 2, "UTF-16LE", failedAt);
        return "UTF-16LE";
    }
    if (startsWith(bytes, "\xFE\xFF", 2) || startsWith(bytes, "\0<\0?", 4)) {
        convert(bytes, bytes[0] == '\0' ? 0 : 2, "UTF-16BE", failedAt);
        return "UTF-16BE";
    }
    size_t offset = 0;
    const std::string encoding = declaredEncoding(bytes, offset);
    // A document that says UTF-16 but reached here is in single bytes: the
    // declaration was written by hand or the file was converted afterwards.
    if (encoding.empty() || sameName(encoding, "UTF-8") || sameName(encoding, "UTF8") ||
        sameName(encoding, "UTF-16") || sameName(encoding, "UTF16") ||
        sameName(encoding, "UTF-32") || sameName(encoding, "UTF32")) {
        return "";
    }
    if (!isEncodingName(encoding) || !Converter(encoding).valid()) {
        failedAt.line = 1;
        failedAt.column = static_cast<unsigned>(offset + 1);
        throw XMLException("Unsupported encoding %s", encoding.c_str());
    }
    convert(bytes, 0, encoding, failedAt);
    return encoding;
}

void Transcoder::convert(std::string& bytes, size_t from, const std::string& encoding,
                         Place& failedAt) {
    Converter converter(encoding);
    std::string converted;
    converted.reserve(bytes.size() + bytes.size() / 2);
    char* in = &bytes[0] + from;
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
    bytes.swap(converted);
}

}  // namespace xml
}  // namespace kavri
