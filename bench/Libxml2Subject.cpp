#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xpath.h>

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
        freeQueries();
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

    bool hasXPath() const override { return true; }

    bool compileQueries(const std::vector<Query>& queries, std::string& error) override {
        freeQueries();
        for (const Query& query : queries) {
            xmlXPathCompExprPtr compiled =
                xmlXPathCompile(reinterpret_cast<const xmlChar*>(query.expression));
            if (compiled == nullptr) {
                error = std::string("cannot compile ") + query.expression;
                return false;
            }
            mQueries.emplace_back(compiled, query.form);
        }
        return true;
    }

    // libxml2 has no first-node evaluation: the first match is the first
    // node of the whole set.
    double runQuery(size_t index) override {
        xmlXPathContextPtr context = xmlXPathNewContext(mDocument);
        context->node = reinterpret_cast<xmlNodePtr>(mDocument);
        xmlXPathObjectPtr result = xmlXPathCompiledEval(mQueries[index].first, context);
        double value = 0;
        if (result != nullptr) {
            const int count = result->nodesetval != nullptr ? result->nodesetval->nodeNr : 0;
            switch (mQueries[index].second) {
                case Query::NODES:
                    value = count;
                    break;
                case Query::NUMBER:
                    value = result->floatval;
                    break;
                case Query::FIRST:
                    value = count > 0 ? 1 : 0;
                    break;
            }
            xmlXPathFreeObject(result);
        }
        xmlXPathFreeContext(context);
        return value;
    }

  private:
    void freeQueries() {
        for (auto& query : mQueries) {
            xmlXPathFreeCompExpr(query.first);
        }
        mQueries.clear();
    }

    std::vector<std::pair<xmlXPathCompExprPtr, Query::Form>> mQueries;
    xmlDocPtr mDocument = nullptr;
    xmlChar* mOut = nullptr;
    int mSize = 0;
};

}  // namespace

std::unique_ptr<Subject> makeLibxml2() {
    return std::make_unique<Libxml2Subject>();
}

}  // namespace bench
