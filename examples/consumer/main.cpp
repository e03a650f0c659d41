// Reads a document and writes it back compact: the smallest real use of an
// installed kavrixml. Exits 0 only when the output is what it should be.
#include <cstdio>
#include <memory>
#include <string>

#include "kavrixml.h"

int main() {
    kavri::stream::MemoryInputStream in("<a x='1'><b>t &amp; u</b></a>");
    kavri::xml::DOMParser parser;
    std::unique_ptr<kavri::xml::Document> doc(parser.parse(&in));
    kavri::stream::MemoryOutputStream out;
    kavri::xml::XMLWriter writer(false, false);
    writer.write(doc.get(), &out);
    std::printf("%s\n", out.str().c_str());
    return out.str() == "<a x=\"1\"><b>t &amp; u</b></a>" ? 0 : 1;
}
