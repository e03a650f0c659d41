// CharPtrProxy owns a NUL-terminated character buffer returned by value from the
// string utilities; its destructor frees it. Move it, or copy the text out,
// before it goes out of scope.
//
//   text::CharPtrProxy decoded = text::StringUtil::decodeXML("a &amp; b");
//   std::string s(decoded.get(), decoded.size());
#ifndef KAVRIXML_FRAMEWORK_PLINTH_CHARPTRPROXY_H
#define KAVRIXML_FRAMEWORK_PLINTH_CHARPTRPROXY_H

#include <cstddef>

namespace text {

class CharPtrProxy {
  public:
    // The first member points to the result; the proxy takes the buffer, which
    // was allocated with new[] and holds `size` characters and a NUL.
    char* mPtr;

    CharPtrProxy() : mPtr(nullptr), mSize(0) {}
    CharPtrProxy(char* buffer, size_t size) : mPtr(buffer), mSize(size) {}
    CharPtrProxy(CharPtrProxy&& other) noexcept : mPtr(other.mPtr), mSize(other.mSize) {
        other.mPtr = nullptr;
        other.mSize = 0;
    }
    CharPtrProxy& operator=(CharPtrProxy&& other) noexcept {
        if (this != &other) {
            delete[] mPtr;
            mPtr = other.mPtr;
            mSize = other.mSize;
            other.mPtr = nullptr;
            other.mSize = 0;
        }
        return *this;
    }
    CharPtrProxy(const CharPtrProxy&) = delete;
    CharPtrProxy& operator=(const CharPtrProxy&) = delete;
    ~CharPtrProxy() { delete[] mPtr; }

    const char* get() const { return mPtr != nullptr ? mPtr : ""; }
    operator const char*() const { return get(); }
    // Length of the text, which may hold NUL bytes (a decoded &#0; cannot, but
    // input bytes can).
    size_t size() const { return mSize; }

  private:
    size_t mSize;
};

}  // namespace text

#endif  // KAVRIXML_FRAMEWORK_PLINTH_CHARPTRPROXY_H
