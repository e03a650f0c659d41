#include <tinyxml2.h>

#include "bench/Subject.h"

namespace bench {

namespace {

size_t countElements(const tinyxml2::XMLNode& node) {
    size_t count = 0;
    for (const tinyxml2::XMLElement* child = node.FirstChildElement(); child != nullptr;
         child = child->NextSiblingElement()) {
        count += 1 + countElements(*child);
    }
    return count;
}

class Tinyxml2Subject : public Subject {
  public:
    const char* name() const override { return "tinyxml2"; }
    const char* package() const override { return "libtinyxml2-dev"; }

    bool parse(const std::string& bytes, std::string& error) override {
        mDocument = std::make_unique<tinyxml2::XMLDocument>();
        if (mDocument->Parse(bytes.data(), bytes.size()) != tinyxml2::XML_SUCCESS) {
            error = mDocument->ErrorStr();
            mDocument.reset();
            return false;
        }
        return true;
    }

    void release() override { mDocument.reset(); }

    size_t elementCount() const override { return mDocument ? countElements(*mDocument) : 0; }

    std::vector<std::string> writeStyles() const override { return {"compact"}; }

    size_t write(size_t) override {
        mPrinter.ClearBuffer();
        mDocument->Print(&mPrinter);
        return static_cast<size_t>(mPrinter.CStrSize() - 1);
    }

    std::string_view written() const override {
        return std::string_view(mPrinter.CStr(), static_cast<size_t>(mPrinter.CStrSize() - 1));
    }

  private:
    std::unique_ptr<tinyxml2::XMLDocument> mDocument;
    // Kept between writes so that its buffer is reused, as the other
    // subjects reuse their output strings.
    tinyxml2::XMLPrinter mPrinter{nullptr, true};
};

}  // namespace

std::unique_ptr<Subject> makeTinyxml2() {
    return std::make_unique<Tinyxml2Subject>();
}

}  // namespace bench
