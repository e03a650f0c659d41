#include <rapidxml/rapidxml.hpp>
#include <rapidxml/rapidxml_print.hpp>

#include <cstring>
#include <iterator>

#include "bench/Subject.h"

namespace bench {

namespace {

size_t countElements(const rapidxml::xml_node<>& node) {
    size_t count = 0;
    for (rapidxml::xml_node<>* child = node.first_node(); child != nullptr;
         child = child->next_sibling()) {
        if (child->type() == rapidxml::node_element) {
            count += 1 + countElements(*child);
        }
    }
    return count;
}

class RapidxmlSubject : public Subject {
  public:
    const char* name() const override { return "RapidXML"; }
    const char* package() const override { return "librapidxml-dev"; }

    bool parse(const std::string& bytes, std::string& error) override {
        release();
        // RapidXML parses in place and its tree points into the buffer, so the
        // copy is part of the parse (and of the tree's memory).
        mBuffer.reset(new char[bytes.size() + 1]);
        std::memcpy(mBuffer.get(), bytes.c_str(), bytes.size() + 1);
        mDocument = std::make_unique<rapidxml::xml_document<>>();
        try {
            mDocument->parse<rapidxml::parse_default>(mBuffer.get());
        } catch (const rapidxml::parse_error& e) {
            error = e.what();
            release();
            return false;
        }
        return true;
    }

    void release() override {
        mDocument.reset();
        mBuffer.reset();
    }

    size_t elementCount() const override { return mDocument ? countElements(*mDocument) : 0; }

    std::vector<std::string> writeStyles() const override { return {"compact"}; }

    size_t write(size_t) override {
        mOut.clear();
        rapidxml::print(std::back_inserter(mOut), *mDocument, rapidxml::print_no_indenting);
        return mOut.size();
    }

    std::string_view written() const override { return mOut; }

  private:
    std::unique_ptr<char[]> mBuffer;
    std::unique_ptr<rapidxml::xml_document<>> mDocument;
    std::string mOut;
};

}  // namespace

std::unique_ptr<Subject> makeRapidxml() {
    return std::make_unique<RapidxmlSubject>();
}

}  // namespace bench
