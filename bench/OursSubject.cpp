#include "bench/Ours.h"
#include "bench/Subject.h"

#ifdef KAVRIXML_BENCH_HAVE_OURS

#include "framework/kavrimain/MemoryInputStream.h"
#include "framework/kavrimain/MemoryOutputStream.h"
#include "framework/plinth/Exception.h"
#include "framework/plinth/internal/BlockPool.h"
#include "xml/DOMParser.h"
#include "xml/Document.h"
#include "xml/XMLWriter.h"
#include "xml/XPath.h"

namespace bench {

namespace {

class OursSubject : public Subject {
  public:
    ~OursSubject() override { release(); }

    const char* name() const override { return "kavrixml"; }
    const char* package() const override { return ""; }

    bool parse(const std::string& bytes, std::string& error) override {
        release();
        try {
            // The stream owns its bytes, so the copy is the price of starting
            // from shared bytes, as for the peers; the parser itself takes the
            // stream's buffer over without copying again.
            kavri::stream::MemoryInputStream in{std::string(bytes)};
            kavri::xml::DOMParser parser;
            mDocument = parser.parse(&in);
        } catch (const ::core::Exception& e) {
            error = e.getMessage();
            return false;
        }
        return true;
    }

    long long pooledFreeBytes() const override {
        return static_cast<long long>(::core::internal::BlockPool::statistics().free);
    }

    void release() override {
        delete mDocument;
        mDocument = nullptr;
    }

    size_t elementCount() const override {
        size_t count = 0;
        if (mDocument != nullptr && mDocument->getRootNode() != nullptr) {
            mDocument->getRootNode()->visit([&count](kavri::xml::XNode*, int, int) {
                ++count;
                return kavri::xml::XNode::VISIT_CONTINUE;
            });
        }
        return count;
    }

    std::vector<std::string> writeStyles() const override { return {"tidy", "compact"}; }

    size_t write(size_t style) override {
        mOut.clear();
        kavri::xml::XMLWriter writer(true, style == 0, false);
        writer.write(mDocument, &mOut);
        return mOut.str().size();
    }

    std::string_view written() const override { return mOut.str(); }

    bool hasXPath() const override { return true; }

    bool compileQueries(const std::vector<Query>& queries, std::string& error) override {
        mQueries.clear();
        try {
            for (const Query& query : queries) {
                mQueries.emplace_back(kavri::xml::XPathQuery(query.expression), query.form);
            }
        } catch (const ::core::Exception& e) {
            error = e.getMessage();
            return false;
        }
        return true;
    }

    double runQuery(size_t index) override {
        const kavri::xml::XPathQuery& query = mQueries[index].first;
        switch (mQueries[index].second) {
            case Query::NODES:
                return static_cast<double>(query.selectNodes(*mDocument).size());
            case Query::NUMBER:
                return query.evaluateNumber(*mDocument);
            case Query::FIRST:
                return query.selectFirst(*mDocument) ? 1 : 0;
        }
        return 0;
    }

  private:
    std::vector<std::pair<kavri::xml::XPathQuery, Query::Form>> mQueries;
    kavri::xml::Document* mDocument = nullptr;
    kavri::stream::MemoryOutputStream mOut;
};

}  // namespace

std::unique_ptr<Subject> makeOurs() {
    return std::make_unique<OursSubject>();
}

}  // namespace bench

#endif  // KAVRIXML_BENCH_HAVE_OURS
