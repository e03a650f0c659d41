// JSObject is a counted JSON value: an object, array, string, number, boolean
// or null. parse reads a whole stream (RFC 8259, UTF-8, \u escapes with
// surrogate pairs) and throws core::Exception on bad input; the result belongs
// to the caller. Members of an object keep their order in the text; a key
// given twice keeps its last value.
//
//   core::SmartPtr<kavri::json::JSObject> root(kavri::json::JSObject::parse(&in));
//   for (auto it = root->begin(); it.getValue() != nullptr; ++it)
//       use(it.getKey(), it.getValue()->asString(nullptr));
#ifndef KAVRIXML_FRAMEWORK_KAVRIMAIN_JSOBJECT_H
#define KAVRIXML_FRAMEWORK_KAVRIMAIN_JSOBJECT_H

#include <memory>
#include <string>

#include "framework/plinth/IRefCount.h"

namespace kavri {
namespace stream {
class InputStream;
}

namespace json {

class JSObject : public ::core::IRefCount {
  public:
    enum Type { OBJECT = 0, ARRAY = 1, STRING = 2, NUMBER = 3, BOOLEAN = 4, NULLVALUE = 5 };

    // Walks the members of an object (or the elements of an array, with empty
    // keys). It has ended when getValue() is null.
    class JSIterator {
      public:
        JSIterator(const JSIterator& other);
        JSIterator& operator=(const JSIterator& other);
        ~JSIterator();

        const char* getKey() const;
        // The member's value, valid while the iterator and the object live.
        const JSObject* getValue() const;
        bool isValid() const { return getValue() != nullptr; }
        JSIterator& operator++();

      private:
        friend class JSObject;
        struct State;
        explicit JSIterator(std::unique_ptr<State> state);
        std::unique_ptr<State> mState;
    };

    explicit JSObject(Type type = OBJECT);
    ~JSObject() override;
    JSObject(const JSObject&) = delete;
    JSObject& operator=(const JSObject&) = delete;

    // Reads the whole stream. Throws core::Exception with the reason and the
    // byte offset on bad input, and for an empty stream.
    static JSObject* parse(stream::InputStream* stream);
    static JSObject* parse(const std::string& text);

    Type getValueType() const;
    // Adds or replaces a string member (this must be an object).
    void set(const char* key, const char* value);
    // Number of members or elements; 0 for scalars.
    unsigned size() const;
    // The member under `key`, or null; valid while this object lives.
    const JSObject* get(const char* key) const;

    JSIterator begin() const;

    // The text of a string value, or `fallback` for any other value.
    const char* asString(const char* fallback) const;
    // The value as compact JSON text.
    std::string toJSON() const;

  private:
    struct Impl;
    explicit JSObject(std::shared_ptr<Impl> impl);
    std::shared_ptr<Impl> mImpl;
};

}  // namespace json
}  // namespace kavri

#endif  // KAVRIXML_FRAMEWORK_KAVRIMAIN_JSOBJECT_H
