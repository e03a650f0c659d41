// WriteBuffer is XMLWriter's output: bytes are collected in one buffer of
// CHUNK bytes and handed to the stream in large pieces, and the pieces of
// XML (names, tag ends, attribute values and text escaped, CDATA sections)
// are put straight into it, each with one check for room. Internal to the
// writer (the header is not installed).
//
//   WriteBuffer out;
//   out.start(&stream);
//   out.putChar('<'); out.putName(name); out.putTagEnd(true);
//   out.finish();                        // the rest to the stream, then flush
#ifndef KAVRIXML_XML_WRITEBUFFER_H
#define KAVRIXML_XML_WRITEBUFFER_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace kavri {
namespace stream {
class OutputStream;
}

namespace xml {

class WriteBuffer {
  public:
    // Output is collected here and handed to the stream in large pieces.
    static constexpr size_t CHUNK = 64 * 1024;

    WriteBuffer() : mBuffer(new char[CHUNK]) {}
    WriteBuffer(const WriteBuffer&) = delete;
    WriteBuffer& operator=(const WriteBuffer&) = delete;
    ~WriteBuffer() { delete[] mBuffer; }

    // Starts a write to `stream`; bytes a failed write left behind are dropped.
    void start(kavri::stream::OutputStream* stream) {
        mStream = stream;
        mUsed = 0;
    }
    // The bytes still held to the stream, then the stream's flush.
    void finish();

    void put(const char* bytes, size_t length) {
        if (length > CHUNK - mUsed) {
            putLarge(bytes, length);
            return;
        }
        copyBytes(mBuffer + mUsed, bytes, length);
        mUsed += length;
    }
    // The pieces of a tag are mostly a few bytes long (names, short values,
    // "</"): copied with a few loads and stores rather than a call to memcpy,
    // reading and writing only the `length` bytes, some of them twice.
    static void copyBytes(char* to, const char* from, size_t length) {
        if (length > 16) {
            std::memcpy(to, from, length);
        } else if (length >= 8) {
            copyOverlapping<uint64_t>(to, from, length);
        } else if (length >= 4) {
            copyOverlapping<uint32_t>(to, from, length);
        } else if (length > 0) {
            to[0] = from[0];
            to[length / 2] = from[length / 2];
            to[length - 1] = from[length - 1];
        }
    }
    // The first and the last Word of [from, from + length), which covers
    // it when length is at most twice the Word.
    template <class Word>
    static void copyOverlapping(char* to, const char* from, size_t length) {
        Word first;
        Word last;
        std::memcpy(&first, from, sizeof first);
        std::memcpy(&last, from + length - sizeof last, sizeof last);
        std::memcpy(to, &first, sizeof first);
        std::memcpy(to + length - sizeof last, &last, sizeof last);
    }
    // Texts of the writer's own (references, the declaration's pieces).
    void put(const char* text) {
        const size_t length = std::strlen(text);
        if (length > CHUNK - mUsed) {
            putLarge(text, length);
            return;
        }
        std::memcpy(mBuffer + mUsed, text, length);
        mUsed += length;
    }
    void putChar(char c) {
        if (mUsed == CHUNK) {
            drain();
        }
        mBuffer[mUsed++] = c;
    }
    // Names in a tree hold no NUL byte (they are set from C strings): the
    // stored length is the C length.
    void putName(const std::string& name) { put(name.data(), name.size()); }
    void putAttribute(const std::string& name, const std::string& value);
    void putAttributeValue(const char* value);
    // Values always in double quotes (XMLWriter::setDoubleQuotes).
    void setDoubleQuotes(bool value) { mDoubleQuotes = value; }
    // ">" or, for an element without content, "/>".
    void putTagEnd(bool empty) {
        if (mUsed + 2 > CHUNK) {
            drain();
        }
        if (empty) {
            mBuffer[mUsed] = '/';
            mBuffer[mUsed + 1] = '>';
            mUsed += 2;
        } else {
            mBuffer[mUsed++] = '>';
        }
    }
    // "</name>", with one check for room.
    void putEndTag(const std::string& name) {
        const size_t size = name.size() + 3;
        if (size > CHUNK - mUsed) {
            put("</", 2);
            putName(name);
            putChar('>');
            return;
        }
        char* out = mBuffer + mUsed;
        out[0] = '<';
        out[1] = '/';
        copyBytes(out + 2, name.data(), name.size());
        out[size - 1] = '>';
        mUsed += size;
    }
    void putLarge(const char* bytes, size_t length);
    // Texts are written up to their first NUL, as C strings, with the bytes
    // of `specials` as references; returns the number of bytes read.
    size_t putEscaped(const char* text, const char* specials);
    void putCData(const char* data, size_t size);
    void drain();

  private:
    kavri::stream::OutputStream* mStream = nullptr;
    char* mBuffer;  // CHUNK bytes
    size_t mUsed = 0;
    bool mDoubleQuotes = false;
};

}  // namespace xml
}  // namespace kavri

#endif  // KAVRIXML_XML_WRITEBUFFER_H
