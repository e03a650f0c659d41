#include "xml/WriteBuffer.h"

#include <algorithm>

#include "framework/kavrimain/OutputStream.h"
#include "syntax/XMLSyntax.h"

namespace kavri {
namespace xml {

using syntax::XMLBytes;

void WriteBuffer::finish() {
    drain();
    mStream->flush();
}

// name="value", or name='value' when the value holds a double quote. Values
// are mostly short and plain: one scan over the value finds the first byte
// to escape (or a NUL, where a value ends as a C string); a plain one goes
// out with a single check for room.
void WriteBuffer::putAttribute(const std::string& name, const std::string& value) {
    constexpr auto STOP =
        static_cast<XMLBytes::Class>(XMLBytes::ESCAPE_IN_ATTRIBUTE | XMLBytes::VALUE_STOP);
    const char* const bytes = value.data();
    const size_t length = value.size();
    size_t plain = 0;
    while (plain < length && !XMLBytes::is(bytes[plain], STOP)) {
        ++plain;
    }
    const size_t size = name.size() + length + 4;  // blank, '=' and the quotes
    if (plain == length && size <= CHUNK - mUsed) {
        char* out = mBuffer + mUsed;
        out[0] = ' ';
        copyBytes(out + 1, name.data(), name.size());
        out += 1 + name.size();
        out[0] = '=';
        out[1] = '"';
        copyBytes(out + 2, bytes, length);
        out[2 + length] = '"';
        mUsed += size;
        return;
    }
    putChar(' ');
    putName(name);
    putChar('=');
    putAttributeValue(bytes);
}

// The slow way of putAttribute's value, for values to escape (or too long
// for the room left in the buffer).
void WriteBuffer::putAttributeValue(const char* value) {
    size_t length = 0;
    bool special = false;
    bool doubleQuote = false;
    for (char c; (c = value[length]) != '\0'; ++length) {
        if (XMLBytes::is(c, XMLBytes::ESCAPE_IN_ATTRIBUTE)) {
            special = true;
            doubleQuote = doubleQuote || c == '"';
        }
    }
    const char quote = doubleQuote && !mDoubleQuotes ? '\'' : '"';
    putChar(quote);
    if (special) {
        putEscaped(value, XMLBytes::ATTRIBUTE_ESCAPES);
    } else {
        put(value, length);
    }
    putChar(quote);
}

void WriteBuffer::putLarge(const char* bytes, size_t length) {
    drain();
    if (length < CHUNK) {
        std::memcpy(mBuffer, bytes, length);
        mUsed = length;
        return;
    }
    // Longer than the buffer: straight to the stream, which takes lengths as
    // unsigned, at most 1 GiB at a time.
    static const size_t MAX_PIECE = size_t(1) << 30;
    for (size_t done = 0; done < length;) {
        size_t piece = std::min(length - done, MAX_PIECE);
        mStream->write(bytes + done, static_cast<unsigned>(piece));
        done += piece;
    }
}

// Escaped straight into the output buffer: runs of plain bytes are copied
// whole, each byte of `specials` replaced by its reference.
size_t WriteBuffer::putEscaped(const char* text, const char* specials) {
    struct Out {
        WriteBuffer& writer;
        void operator()(const char* bytes, size_t length) const { writer.put(bytes, length); }
        void operator()(const char* reference) const { writer.put(reference); }
    };
    return syntax::putEscaped(text, specials, Out{*this});
}

// A text holding "]]>" goes out as several sections (see syntax::putCData).
void WriteBuffer::putCData(const char* data, size_t size) {
    syntax::putCData(data, size, [this](const char* bytes, size_t length) { put(bytes, length); });
}

void WriteBuffer::drain() {
    if (mUsed > 0) {
        mStream->write(mBuffer, static_cast<unsigned>(mUsed));
        mUsed = 0;
    }
}

}  // namespace xml
}  // namespace kavri
