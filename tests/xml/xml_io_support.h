// Helpers shared by the reader, writer and dump tests: parsing from text
// (checking the reader's two paths against each other), compact writing,
// an output stream that records the calls it receives, a capture of the root
// logger, and running code on a thread with a small stack.
#ifndef KAVRIXML_TESTS_XML_XML_IO_SUPPORT_H
#define KAVRIXML_TESTS_XML_XML_IO_SUPPORT_H

#include <gtest/gtest.h>
#include <pthread.h>

#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "framework/kavrimain/MemoryInputStream.h"
#include "framework/kavrimain/MemoryOutputStream.h"
#include "framework/kavrimain/OutputStream.h"
#include "framework/plinth/Exception.h"
#include "framework/plinth/Logger.h"
#include "xml/DOMParser.h"
#include "xml/DOMParserPaths.h"
#include "xml/Document.h"
#include "xml/XMLWriter.h"

namespace xmlio {

inline std::string readSample(const char* name) {
    std::ifstream in(std::string(KAVRIXML_SOURCE_DIR) + "/examples/xml/" + name, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// What a parse of `text` gives, as text: the declaration, the DOCTYPE and the
// tree in XNode::dump's form, or "!", the message and the place of the failure.
inline std::string outcome(kavri::xml::DOMParser& parser, const std::string& text) {
    kavri::stream::MemoryInputStream in(text);
    try {
        std::unique_ptr<kavri::xml::Document> doc(parser.parse(&in));
        std::string result;
        if (doc->getXmlDeclaration() != nullptr) {
            doc->getXmlDeclaration()->dump(result);
        }
        result += std::string("|") + doc->getDocType() + "|" + doc->getPublicID() + "|" +
                  doc->getDTD() + "|";
        doc->getRootNode()->dump(result);
        return result;
    } catch (const ::core::Exception& e) {
        return "!" + std::string(e.getMessage()) + " at " + std::to_string(parser.getLine()) + ":" +
               std::to_string(parser.getColumn());
    }
}

// Parses `text`. Every parse of the tests is also made with the tokens alone
// (the scanner off), and the two readings must agree.
inline std::unique_ptr<kavri::xml::Document> parse(const std::string& text) {
    kavri::xml::DOMParser tokensOnly;
    kavri::xml::DOMParserPaths::setScanning(tokensOnly, false);
    kavri::xml::DOMParser parser;
    EXPECT_EQ(outcome(parser, text), outcome(tokensOnly, text))
        << "the scanner and the tokens read differently: " << text;
    kavri::stream::MemoryInputStream in(text);
    return std::unique_ptr<kavri::xml::Document>(parser.parse(&in));
}

// A document or one element as the writer gives it compact, without a
// declaration.
template <class Written>
std::string compact(Written* written) {
    kavri::xml::XMLWriter writer(false, false);
    kavri::stream::MemoryOutputStream out;
    writer.write(written, &out);
    return out.str();
}

// Keeps the bytes written and a log of the calls: "isOpen open(32) write flush".
class RecordingStream : public kavri::stream::OutputStream {
  public:
    explicit RecordingStream(bool open = false) : mOpen(open) {}

    bool isOpen() override {
        mCalls += "isOpen ";
        return mOpen;
    }
    bool open(int mode) override {
        mCalls += "open(" + std::to_string(mode) + ") ";
        mOpen = true;
        return true;
    }
    int write(const char* bytes, unsigned length) override {
        mCalls += "write ";
        mBytes.append(bytes, length);
        return static_cast<int>(length);
    }
    int write(const unsigned char* bytes, unsigned length) override {
        mCalls += "writeBytes ";
        mBytes.append(reinterpret_cast<const char*>(bytes), length);
        return static_cast<int>(length);
    }
    void flush() override { mCalls += "flush "; }
    void close() override { mCalls += "close "; }

    const std::string& bytes() const { return mBytes; }
    const std::string& calls() const { return mCalls; }

  private:
    bool mOpen;
    std::string mBytes;
    std::string mCalls;
};

// Collects the root logger's entries while alive; restores the default sink.
class LogCapture {
  public:
    LogCapture() {
        logging::Logger::mROOT_LOGGER->setSink([this](int level, const char* text) {
            std::lock_guard<std::mutex> lock(mMutex);
            mEntries.emplace_back(level, text);
        });
    }
    ~LogCapture() { logging::Logger::mROOT_LOGGER->setSink(nullptr); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<std::string> pieces(int level) const {
        std::lock_guard<std::mutex> lock(mMutex);
        std::vector<std::string> out;
        for (const auto& entry : mEntries) {
            if (entry.first == level) {
                out.push_back(entry.second);
            }
        }
        return out;
    }
    std::string joined(int level) const {
        std::string out;
        for (const std::string& piece : pieces(level)) {
            out += piece;
        }
        return out;
    }

  private:
    mutable std::mutex mMutex;
    std::vector<std::pair<int, std::string>> mEntries;
};

// Runs `body` on a new thread whose stack is `stackBytes` large and waits for
// it; an exception escaping `body` is reported as its message.
inline std::string runOnStack(size_t stackBytes, const std::function<void()>& body) {
    struct Job {
        const std::function<void()>* body;
        std::string error;
    } job{&body, ""};
    auto entry = [](void* argument) -> void* {
        Job* running = static_cast<Job*>(argument);
        try {
            (*running->body)();
        } catch (const std::exception& e) {
            running->error = e.what();
        }
        return nullptr;
    };
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, stackBytes);
    pthread_t thread;
    if (pthread_create(&thread, &attributes, entry, &job) != 0) {
        pthread_attr_destroy(&attributes);
        return "cannot start a thread";
    }
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
    return job.error;
}

}  // namespace xmlio

#endif  // KAVRIXML_TESTS_XML_XML_IO_SUPPORT_H
