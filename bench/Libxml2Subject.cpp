#include <libxml/parser.h>
#include <libxml/tree.h>

#include "bench/Subject.h"

namespace bench {

namespace {

size_t countElements(const xmlNode* first) {
    size_t count = 0;
    for (const xmlNode* node = first; node != nullptr; node = node->next) {
        if (node->type == XML_ELEMENT_NODE) {
            count += 1 + countElements(node->children);
        }
    }
    return count;
}

class Libxml2Subject : public Subject {
  public:
    Libxml2Subject() { xmlInitParser(); }
    ~Libxml2Subject() override {
        release();
        xmlFree(mOut);
    }

    const char* name() const override { return "libxml2"; }
    const char* package() const override { return "libxml2-dev"; }

    bool parse(const std::string& bytes, std::string& error) override {
        release();
        mDocument = xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr,
                                  XML_PARSE_NONET);
        if (mDocument == nullptr) {
            const xmlError* last = xmlGetLastError();
            error = last != nullptr && last->message != nullptr ? last->message : "parse failed";
            while (!error.empty() && error.back() == '\n') {
                error.pop_back();
            }
            return false;
        }
        return true;
    }

    void release() override {
        if (mDocument != nullptr) {
            xmlFreeDoc(mDocument);
            mDocument = nullptr;
        }
    }

    size_t elementCount() const override {
        return mDocument ? countElements(mDocument->children) : 0;
    }

    std::vector<std::string> writeStyles() const override { return {"dump"}; }

    size_t write(size_t) override {
        xmlFree(mOut);
        mOut = nullptr;
        xmlDocDumpMemory(mDocument, &mOut, &mSize);
        return static_cast<size_t>(mSize);
    }

    std::string_view written() const override {
        return std::string_view(reinterpret_cast<const char*>(mOut), static_cast<size_t>(mSize));
    }

  private:
    xmlDocPtr mDocument = nullptr;
    xmlChar* mOut = nullptr;
    int mSize = 0;
};

}  // namespace

std::unique_ptr<Subject> makeLibxml2() {
    return std::make_unique<Libxml2Subject>();
}

}  // namespace bench
