#include <expat.h>

#include "bench/Subject.h"

namespace bench {

namespace {

// Events only: expat builds no tree, so its figures are a floor for a parser
// that checks the whole grammar, and it has no writer and no memory figure.
class ExpatSubject : public Subject {
  public:
    const char* name() const override { return "expat (events)"; }
    const char* package() const override { return "libexpat1-dev"; }
    Kind kind() const override { return EVENTS; }

    bool parse(const std::string& bytes, std::string& error) override {
        mElements = 0;
        XML_Parser parser = XML_ParserCreate("UTF-8");
        XML_SetUserData(parser, this);
        XML_SetElementHandler(parser, &ExpatSubject::onStart, &ExpatSubject::onEnd);
        XML_SetCharacterDataHandler(parser, &ExpatSubject::onText);
        const bool ok = XML_Parse(parser, bytes.data(), static_cast<int>(bytes.size()), XML_TRUE) ==
                        XML_STATUS_OK;
        if (!ok) {
            error = XML_ErrorString(XML_GetErrorCode(parser));
        }
        XML_ParserFree(parser);
        return ok;
    }

    size_t elementCount() const override { return mElements; }

  private:
    static void XMLCALL onStart(void* self, const XML_Char*, const XML_Char**) {
        ++static_cast<ExpatSubject*>(self)->mElements;
    }
    static void XMLCALL onEnd(void*, const XML_Char*) {}
    static void XMLCALL onText(void* self, const XML_Char*, int length) {
        static_cast<ExpatSubject*>(self)->mTextBytes += static_cast<size_t>(length);
    }

    size_t mElements = 0;
    size_t mTextBytes = 0;
};

}  // namespace

std::unique_ptr<Subject> makeExpat() {
    return std::make_unique<ExpatSubject>();
}

}  // namespace bench
