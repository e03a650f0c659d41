#include <pugixml.hpp>

#include "bench/Subject.h"

namespace bench {

namespace {

class StringWriter : public pugi::xml_writer {
  public:
    explicit StringWriter(std::string& out) : mOut(out) {}
    void write(const void* data, size_t size) override {
        mOut.append(static_cast<const char*>(data), size);
    }

  private:
    std::string& mOut;
};

size_t countElements(const pugi::xml_node& node) {
    size_t count = 0;
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element) {
            count += 1 + countElements(child);
        }
    }
    return count;
}

class PugixmlSubject : public Subject {
  public:
    const char* name() const override { return "pugixml"; }
    const char* package() const override { return "libpugixml-dev"; }

    bool parse(const std::string& bytes, std::string& error) override {
        // load_buffer copies the bytes into the document, which parses the
        // copy in place and keeps it as the storage of its strings.
        mDocument = std::make_unique<pugi::xml_document>();
        pugi::xml_parse_result result = mDocument->load_buffer(
            bytes.data(), bytes.size(), pugi::parse_default, pugi::encoding_utf8);
        if (!result) {
            error = result.description();
            mDocument.reset();
            return false;
        }
        return true;
    }

    void release() override { mDocument.reset(); }

    size_t elementCount() const override { return mDocument ? countElements(*mDocument) : 0; }

    std::vector<std::string> writeStyles() const override { return {"raw", "indented"}; }

    size_t write(size_t style) override {
        mOut.clear();
        StringWriter writer(mOut);
        const unsigned flags = style == 0 ? pugi::format_raw : pugi::format_indent;
        mDocument->save(writer, "\t", flags, pugi::encoding_utf8);
        return mOut.size();
    }

    std::string_view written() const override { return mOut; }

    bool hasXPath() const override { return true; }

    bool compileQueries(const std::vector<Query>& queries, std::string& error) override {
        mQueries.clear();
        for (const Query& query : queries) {
            mQueries.emplace_back(std::make_unique<pugi::xpath_query>(query.expression),
                                  query.form);
            if (!mQueries.back().first->result()) {
                error = mQueries.back().first->result().description();
                return false;
            }
        }
        return true;
    }

    double runQuery(size_t index) override {
        const pugi::xpath_query& query = *mQueries[index].first;
        switch (mQueries[index].second) {
            case Query::NODES:
                return static_cast<double>(query.evaluate_node_set(*mDocument).size());
            case Query::NUMBER:
                return query.evaluate_number(*mDocument);
            case Query::FIRST:
                return query.evaluate_node(*mDocument) ? 1 : 0;
        }
        return 0;
    }

  private:
    std::vector<std::pair<std::unique_ptr<pugi::xpath_query>, Query::Form>> mQueries;
    std::unique_ptr<pugi::xml_document> mDocument;
    std::string mOut;
};

}  // namespace

std::unique_ptr<Subject> makePugixml() {
    return std::make_unique<PugixmlSubject>();
}

}  // namespace bench
